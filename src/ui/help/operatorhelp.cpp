#include "operatorhelp.h"

#include "apppaths.h"
#include "dialogs.h"

#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTextBrowser>
#include <QVBoxLayout>

// The help's resource lives in a static library: registered by hand, outside any namespace.
static void initHelpResource() {
    Q_INIT_RESOURCE(help);
}

namespace {
class HelpWindow : public QDialog {
public:
    explicit HelpWindow(QWidget* parent) : QDialog(parent) {
        setObjectName(QStringLiteral("operatorHelp"));
        setWindowTitle(QStringLiteral("Orvanta抽奖软件 帮助"));
        // Over a stage that stays on top, or it would open unseen beneath it.
        if (parent && parent->window()->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
            setWindowFlag(Qt::WindowStaysOnTopHint, true);
        auto* text = new QTextBrowser(this);
        text->setObjectName(QStringLiteral("helpText"));
        text->setOpenLinks(false);
        text->setHtml(OperatorHelp::builtInHtml());
        auto* close = new QPushButton(QStringLiteral("关闭"), this);
        connect(close, &QPushButton::clicked, this, &QDialog::close);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(text);
        layout->addWidget(close, 0, Qt::AlignRight);
        resize(640, 560);
    }
};
} // namespace

namespace OperatorHelp {

QString builtInHtml() {
    static const bool registered = (initHelpResource(), true);
    Q_UNUSED(registered);
    QFile file(QStringLiteral(":/help/operatorhelp.html"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void open(QWidget* parent) {
    const QString chm = AppPaths::file(AppPaths::kHelp);
    if (QFileInfo::exists(chm)) {
        Dialogs::instance().openDocument(chm);
        return;
    }
    static QPointer<HelpWindow> window;
    if (!window) {
        window = new HelpWindow(parent);
        window->setAttribute(Qt::WA_DeleteOnClose);
    }
    if (const QScreen* screen = parent ? parent->screen() : window->screen())
        window->move(screen->availableGeometry().center() -
                     QPoint(window->width() / 2, window->height() / 2));
    window->show();
    window->raise();
    window->activateWindow();
}

} // namespace OperatorHelp
