#include "operatorprompts.h"

#include <QDebug>

namespace {

// Without a front end: what would have been shown goes to the log, every question is answered safely.
class LoggedPrompts : public OperatorPrompts {
public:
    void message(Icon, const QString& caption, const QString& text) override {
        qWarning().noquote() << caption << ':' << text;
    }
    bool question(const QString& caption, const QString& text) override {
        qWarning().noquote() << caption << ':' << text << "(answered No)";
        return false;
    }
    int chooseItem(const QString&, const QString&, const QStringList&, int) override { return -1; }
    QString openFile(const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, QString*, const QString&) override { return {}; }
    void beep() override {}
    void openDocument(const QString&) override {}
};

OperatorPrompts* g_installed = nullptr;
OperatorPrompts::Provider g_frontEnd = nullptr;
bool g_presenterConfirms = false;

} // namespace

void OperatorPrompts::showError(const QString& text) {
    instance().message(Icon::Critical, kProgramCaption, text);
}

OperatorPrompts::PresenterConfirms::PresenterConfirms() : m_previous(g_presenterConfirms) {
    g_presenterConfirms = true;
}

OperatorPrompts::PresenterConfirms::~PresenterConfirms() {
    g_presenterConfirms = m_previous;
}

bool OperatorPrompts::presenterConfirms() {
    return g_presenterConfirms;
}

OperatorPrompts& OperatorPrompts::instance() {
    if (g_installed)
        return *g_installed;
    if (g_frontEnd)
        return g_frontEnd();
    static LoggedPrompts logged;
    return logged;
}

void OperatorPrompts::install(OperatorPrompts* prompts) {
    g_installed = prompts;
}

void OperatorPrompts::setFrontEnd(Provider provider) {
    g_frontEnd = provider;
}
