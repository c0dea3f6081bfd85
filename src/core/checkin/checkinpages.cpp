#include "checkinpages.h"

#include <QFile>

static void initCheckinResources() {
    Q_INIT_RESOURCE(checkin);
}

namespace CheckinPages {

namespace {
const QString& skeleton() {
    static const QString page = [] {
        initCheckinResources();
        QFile file(QStringLiteral(":/checkin/page.html"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }();
    return page;
}

QString form(const QString& query, const QString& hint) {
    return QStringLiteral("<form method=\"post\" action=\"./\" autocomplete=\"off\">"
                          "<label for=\"q\">%1</label>"
                          "<input type=\"text\" id=\"q\" name=\"q\" value=\"%2\" maxlength=\"64\" required "
                          "placeholder=\"工号 / 手机号 / 姓名\">"
                          "<button type=\"submit\">查找</button></form>")
        .arg(hint, escape(query));
}

QString confirmation(const Page& page, const QString& heading) {
    QString proof;
    if (page.askDigits)
        proof = QStringLiteral("<label for=\"proof\">请输入登记手机号的后四位</label>"
                               "<input type=\"text\" id=\"proof\" name=\"proof\" inputmode=\"numeric\" "
                               "maxlength=\"4\" pattern=\"[0-9]{4}\" required autocomplete=\"off\">");
    return QStringLiteral("<h2>%1</h2>"
                          "<form method=\"post\" action=\"./\" autocomplete=\"off\">"
                          "<input type=\"hidden\" name=\"q\" value=\"%2\">"
                          "<input type=\"hidden\" name=\"who\" value=\"%3\">"
                          "<input type=\"hidden\" name=\"step\" value=\"confirm\">%4"
                          "<button type=\"submit\" id=\"confirm\">确认签到</button></form>"
                          "<a class=\"again\" href=\"./\">不是我，重新输入</a>")
        .arg(heading, escape(page.query), escape(page.token), proof);
}

const QString kAgain = QStringLiteral("<a class=\"again\" href=\"./\">重新输入</a>");
} // namespace

QString escape(QStringView text) {
    QString out;
    out.reserve(text.size() + 16);
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += QLatin1String("&amp;");
            break;
        case u'<':
            out += QLatin1String("&lt;");
            break;
        case u'>':
            out += QLatin1String("&gt;");
            break;
        case u'"':
            out += QLatin1String("&quot;");
            break;
        case u'\'':
            out += QLatin1String("&#39;");
            break;
        case u'{': // never mistaken for a place-holder of the page
            out += QLatin1String("&#123;");
            break;
        default:
            out += c;
        }
    }
    return out;
}

QByteArray html(const Page& page) {
    const QString who = escape(page.shown);
    const QString again = form(page.query, QStringLiteral("工号 / 手机号 / 姓名"));
    QString body;
    QString kind;
    switch (page.view) {
    case View::Form:
        body =
            QStringLiteral("<h2>欢迎签到</h2>") + form(QString(), QStringLiteral("请输入工号、手机号或姓名"));
        break;
    case View::Confirm:
        body = confirmation(page, QStringLiteral("请确认：%1").arg(who));
        break;
    case View::WrongProof:
        kind = QStringLiteral("warn");
        body = confirmation(page, QStringLiteral("手机号后四位不对")) +
               QStringLiteral("<p class=\"note\">请确认：%1</p>").arg(who);
        break;
    case View::Many:
        kind = QStringLiteral("warn");
        body = QStringLiteral("<h2>请输入工号</h2><p class=\"note\">有同名的来宾，请输入您的工号</p>") +
               form(page.query, QStringLiteral("工号"));
        break;
    case View::NeedBoth:
        kind = QStringLiteral("warn");
        body = QStringLiteral("<h2>请同时输入姓名和工号</h2><p class=\"note\">例如：张三 A0013</p>") +
               form(page.query, QStringLiteral("姓名 工号"));
        break;
    case View::None:
        kind = QStringLiteral("warn");
        body = QStringLiteral("<h2>没有找到“%1”</h2><p class=\"note\">请检查输入，或到签到台找工作人员</p>")
                   .arg(escape(page.query)) +
               again;
        break;
    case View::CheckedIn:
        kind = QStringLiteral("ok");
        body = QStringLiteral("<div class=\"mark\">✓</div><h2 id=\"result\">签到成功</h2>"
                              "<p class=\"who\">%1</p>")
                   .arg(who);
        break;
    case View::Already:
        kind = QStringLiteral("ok");
        body = QStringLiteral("<div class=\"mark\">✓</div><h2 id=\"result\">已签到</h2>"
                              "<p class=\"who\">%1</p>")
                   .arg(who);
        break;
    case View::OtherPerson:
        kind = QStringLiteral("warn");
        body = QStringLiteral(
                   "<h2>这部手机已为 %1 签到</h2>"
                   "<p class=\"note\">一部手机只能为一人签到。如需为他人签到，请到签到台找工作人员</p>")
                   .arg(who);
        break;
    case View::Limited:
        kind = QStringLiteral("warn");
        body = QStringLiteral(
            "<h2>尝试次数太多</h2><p class=\"note\">请稍等一分钟再试，或到签到台找工作人员</p>");
        break;
    case View::Busy:
        kind = QStringLiteral("warn");
        body = QStringLiteral("<h2>签到的人很多</h2><p class=\"note\">请稍等片刻再试一次</p>") + again;
        break;
    case View::Failed:
        kind = QStringLiteral("warn");
        body = QStringLiteral("<h2>暂时无法签到</h2><p class=\"note\">请到签到台找工作人员</p>");
        break;
    case View::Invalid:
        kind = QStringLiteral("warn");
        body = QStringLiteral("<h2>无法识别输入</h2><p class=\"note\">请输入工号、手机号或姓名</p>") + kAgain;
        break;
    }
    QString text = skeleton();
    text.replace(QLatin1String("{{EVENT}}"),
                 escape(page.event.isEmpty() ? QStringLiteral("年会") : page.event));
    text.replace(QLatin1String("{{CLASS}}"), kind);
    text.replace(QLatin1String("{{BODY}}"), body);
    return text.toUtf8();
}

} // namespace CheckinPages
