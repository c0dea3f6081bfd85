#include "verifybox.h"

#include "event.h"
#include "functionunit.h"
#include "verifiabledraw.h"

VerifyBox::VerifyBox(Event& event, QWidget* parent)
    : QCheckBox(
          QStringLiteral("可验证抽奖（开抽前公布承诺值，由现场数字决定结果，事后可公开核验；不能预设中奖）"),
          parent),
      m_event(event) {
    setObjectName(QStringLiteral("verifyMode"));
    setToolTip(QStringLiteral("只能在第一次抽奖前开启，开启后只有“初始化进度”能关闭。"));
    connect(this, &QCheckBox::clicked, this, &VerifyBox::clicked);
    connect(&m_event.verify(), &VerifiableDraw::changed, this, &VerifyBox::refresh);
    refresh();
}

void VerifyBox::refresh() {
    setChecked(m_event.verify().on());
    setEnabled(!m_event.verify().on());
}

void VerifyBox::clicked(bool checked) {
    if (checked && FunctionUnit::confirm(QStringLiteral(
                       "开启“可验证抽奖”后：\n"
                       "· 舞台先显示承诺值，再由现场嘉宾产生一个数字，中奖者由公开的算法算出；\n"
                       "· 预设中奖不再使用；\n"
                       "· 只有“初始化进度”能关闭本模式。\n\n确定开启?"))) {
        if (const QString refusal = m_event.switchVerifiableOn(); !refusal.isEmpty())
            FunctionUnit::warning(refusal);
    }
    refresh();
}
