#include "checkinpages.h"

#include <QCryptographicHash>
#include <QFile>

static void initCheckinResources() {
    Q_INIT_RESOURCE(checkin);
}

namespace CheckinPages {

namespace {
QByteArray resource(const QString& path) {
    initCheckinResources();
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString& skeleton() {
    static const QString page = QString::fromUtf8(resource(QStringLiteral(":/checkin/page.html")));
    return page;
}

// The verifier page with its policy naming its one script by hash: the page runs that script and
// nothing else, also once it is saved and opened from the disk, where no header comes with it.
struct Verifier {
    QByteArray page;
    QByteArray scriptSource;
};

const Verifier& verifier() {
    static const Verifier made = [] {
        Verifier v;
        v.page = resource(QStringLiteral(":/checkin/verifier.html"));
        const qsizetype open = v.page.indexOf("<script>");
        const qsizetype close = v.page.indexOf("</script>", open);
        if (open < 0 || close < 0) { // no script: a policy that runs none
            v.scriptSource = "'none'";
            return v;
        }
        const QByteArray script = v.page.mid(open + 8, close - open - 8);
        v.scriptSource =
            "'sha256-" + QCryptographicHash::hash(script, QCryptographicHash::Sha256).toBase64() + '\'';
        v.page.replace("'{{SCRIPT_HASH}}'", v.scriptSource);
        return v;
    }();
    return made;
}

// Only what a hash or the hall's number can be: anything else is left out.
QByteArray factOrNothing(const QString& text) {
    for (QChar c : text)
        if (!((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f')))
            return {};
    return text.size() <= 64 ? text.toLatin1() : QByteArray();
}

QString verifySection(const Verify& verify) {
    if (!verify.on)
        return {};
    const auto row = [](const char* id, const QString& what, const QString& value) {
        return QStringLiteral("<dt>%1</dt><dd class=\"hex\" id=\"%2\">%3</dd>")
            .arg(what, QLatin1String(id), escape(value));
    };
    QString rows = row("commitment", QStringLiteral("承诺值"), verify.commitment) +
                   row("listHash", QStringLiteral("名单指纹"), verify.listHash) +
                   row("prizesHash", QStringLiteral("奖项指纹"), verify.prizesHash);
    if (!verify.hall.isEmpty())
        rows += row("hall", QStringLiteral("现场数字"), verify.hall);
    QString links;
    if (!verify.seed.isEmpty()) {
        rows += row("seed", QStringLiteral("种子（已公开）"), verify.seed);
        links = QStringLiteral("<a id=\"proof\" href=\"proof\" download>下载验证文件</a>");
    }
    links += QStringLiteral("<a id=\"verifier\" href=\"verifier\" download>保存验证网页（离线核对用）</a>");
    const QString note =
        verify.seed.isEmpty()
            ? QStringLiteral("中奖者由抽奖前公布的承诺值对应的种子和现场数字算出。请截图留存；"
                             "抽奖结束公开种子后，可下载验证文件，用保存的验证网页在家核对。")
            : QStringLiteral("种子已公开：下载验证文件，用保存的验证网页（不联网）即可重算每一轮的中奖者。");
    return QStringLiteral("<section id=\"verify\"><h3>本场抽奖可验证</h3><p class=\"note\">%1</p>"
                          "<dl>%2</dl>%3</section>")
        .arg(note, rows, links);
}

QString form(const QString& query, const QString& hint) {
    return QStringLiteral("<form method=\"post\" action=\"./\" autocomplete=\"off\">"
                          "<label for=\"q\">%1</label>"
                          "<input type=\"text\" id=\"q\" name=\"q\" value=\"%2\" maxlength=\"64\" required "
                          "placeholder=\"姓名 / 工号\">"
                          "<button type=\"submit\">查找</button></form>")
        .arg(hint, escape(query));
}

QString confirmation(const Page& page, const QString& heading) {
    // What the hall never sees of the guest's line proves the guest: the whole of it is asked for.
    QString proof, label, mode = QStringLiteral("text");
    switch (page.proof) {
    case GuestCard::Proof::None:
        proof = QStringLiteral("<p class=\"note\">确认后请到签到台，工作人员核对后为您签到</p>");
        break;
    case GuestCard::Proof::Mobile:
        label = QStringLiteral("请输入登记的完整手机号（11位）");
        mode = QStringLiteral("tel");
        break;
    case GuestCard::Proof::IdNumber:
        label = QStringLiteral("请输入登记的身份证号（18位）");
        break;
    case GuestCard::Proof::Other:
        label = QStringLiteral("请输入您登记信息中大屏幕上不显示的一项");
        break;
    }
    if (!label.isEmpty())
        proof = QStringLiteral("<label for=\"proof\">%1</label>"
                               "<input type=\"text\" id=\"proof\" name=\"proof\" inputmode=\"%2\" "
                               "maxlength=\"40\" required autocomplete=\"off\">")
                    .arg(label, mode);
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

QByteArray verifierHtml(const QString& commitment, const QString& hall) {
    QByteArray page = verifier().page;
    page.replace("{{COMMITMENT}}", factOrNothing(commitment));
    page.replace("{{HALL}}", factOrNothing(hall));
    return page;
}

QByteArray verifierScriptSource() {
    return verifier().scriptSource;
}

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
    const QString again = form(page.query, QStringLiteral("姓名 / 工号"));
    QString head;
    QString body;
    QString kind;
    switch (page.view) {
    case View::Form:
        body = QStringLiteral("<h2>欢迎签到</h2>") + form(QString(), QStringLiteral("请输入您的姓名或工号"));
        break;
    case View::Confirm:
        body = confirmation(page, QStringLiteral("请确认：%1").arg(who));
        break;
    case View::WrongProof:
        kind = QStringLiteral("warn");
        body = confirmation(page, QStringLiteral("输入的信息不对")) +
               QStringLiteral("<p class=\"note\">请确认：%1</p>").arg(who);
        break;
    case View::Many:
        kind = QStringLiteral("warn");
        body = QStringLiteral("<h2>有同名的来宾</h2><p class=\"note\">请再加上您的工号或部门，"
                              "例如：张三 销售部；仍找不到请到签到台</p>") +
               form(page.query, QStringLiteral("姓名 工号 / 部门"));
        break;
    case View::Held:
        kind = QStringLiteral("warn");
        body = QStringLiteral("<h2>尝试次数太多</h2><p class=\"note\">请到签到台找工作人员</p>");
        break;
    case View::AtDesk:
        head =
            QStringLiteral("<meta http-equiv=\"refresh\" content=\"%1;url=./\">").arg(kWaitingRefreshSeconds);
        body = QStringLiteral("<h2 id=\"waiting\">请到签到台确认</h2><p class=\"who\">%1</p>"
                              "<p class=\"note\">工作人员确认后，此页会显示“签到成功”</p>"
                              "<p class=\"at\">等待签到台确认…</p>")
                   .arg(who);
        break;
    case View::Refused:
        kind = QStringLiteral("warn");
        body = QStringLiteral("<h2>签到台没有确认</h2><p class=\"note\">请到签到台找工作人员</p>") + kAgain;
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
        body = QStringLiteral("<h2>无法识别输入</h2><p class=\"note\">请输入您的姓名或工号</p>") + kAgain;
        break;
    }
    QString text = skeleton();
    text.replace(QLatin1String("{{EVENT}}"),
                 escape(page.event.isEmpty() ? QStringLiteral("年会") : page.event));
    text.replace(QLatin1String("{{CLASS}}"), kind);
    text.replace(QLatin1String("{{HEAD}}"), head);
    text.replace(QLatin1String("{{BODY}}"), body);
    text.replace(QLatin1String("{{VERIFY}}"), verifySection(page.verify));
    return text.toUtf8();
}

} // namespace CheckinPages
