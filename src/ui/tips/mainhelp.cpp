#include "mainhelp.h"

#include "apppaths.h"
#include "configstore.h"
#include "dialogs.h"
#include "operationerror.h"

#include <QCheckBox>
#include <QFrame>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QVBoxLayout>

TFmainhelp::TFmainhelp(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::WindowStaysOnTopHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(QStringLiteral("Fmainhelp"));
    setWindowTitle(QStringLiteral("操作提示"));
    setFixedSize(580, 402);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    Memo1->installEventFilter(this);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont memoFont = Memo1->font();
    memoFont.setPixelSize(16);
    Memo1->setFont(memoFont);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(38);
    Bevel1 = new QFrame(Panel1);
    Bevel1->setObjectName(QStringLiteral("Bevel1"));
    Bevel1->setFrameShape(QFrame::Panel);
    Bevel1->setFrameShadow(QFrame::Sunken);
    Bevel1->setGeometry(0, 0, 580, 38);
    CheckBox1 = new QCheckBox(QStringLiteral("下次不显示此窗口"), Panel1);
    CheckBox1->installEventFilter(this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    QFont boxFont = CheckBox1->font();
    boxFont.setPixelSize(13);
    CheckBox1->setFont(boxFont);
    CheckBox1->setGeometry(22, 12, 163, 17);
    CheckBox1->adjustSize();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Memo1);
    layout->addWidget(Panel1);

    connect(CheckBox1, &QCheckBox::clicked, this, &TFmainhelp::CheckBox1Click);
    FormCreate();

    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
}

QStringList TFmainhelp::tipsLines(const QString& F) {
    const QString indent(6, QLatin1Char(' '));
    return {
        QStringLiteral("【操作提示】"),
        indent + QStringLiteral("1、导入抽奖名单到：") + F + AppPaths::kEntrants + QStringLiteral("，") +
            QStringLiteral("该名单可以是姓名、工号、数字号码、手机或任意组合，可以从Excel或数据库中复制过来，"
                           "一行表示一个抽奖者。"),
        indent +
            QStringLiteral("2、在主画面点右键，设置奖品名称、数量、每次抽取数量、主副标题内容及字体等资料。"),
        indent + QStringLiteral("3、在主画面按空格或Enter进行抽奖。"),
        indent + QStringLiteral("4、在中奖面板里右键取消本次缺席者，也可以在所有中奖名单中右键取消缺席者，"
                                "如果发现错误还可以恢复该中奖者。"),
        QString(),
        QStringLiteral("【注意事项】"),
        indent + QStringLiteral("1、中奖名单实时保存在：") + F + AppPaths::kWinners + QStringLiteral("，") +
            QStringLiteral(
                "如抽奖过程中停电，等恢复正常后，进入软件，点右键，选择读取抽奖进度，可以继续抽奖。"),
        indent + QStringLiteral("2、每次抽奖正常退出都会保存在历史记录文件：") + F + AppPaths::kHistory,
        indent + QStringLiteral("3、如需更多帮助，主画面中点右键选择帮助。"),
    };
}

void TFmainhelp::FormCreate() {
    Memo1->setPlainText(tipsLines(AppPaths::folder()).join(QLatin1Char('\n')));
}

void TFmainhelp::CheckBox1Click() {
    // Ticking or unticking: either way the tips are not shown again.
    try {
        ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
        store.writeBool(QStringLiteral("Setting"), QStringLiteral("showhelp"), false);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
    }
}

void TFmainhelp::keyPressEvent(QKeyEvent* event) {
    // Esc closes the tips, as it closes any dialog.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

bool TFmainhelp::eventFilter(QObject* watched, QEvent* event) {
    // A presenter's keys for the next slide (PageDown, Right) close the tips wherever the focus is
    // (the text would take them to scroll), so that an organiser with only a clicker in hand gets to
    // the stage. Nothing else happens: the draw starts with the next press.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_PageDown || key->key() == Qt::Key_Right) {
            if (!key->isAutoRepeat())
                close();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
