#include "dialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPointer>
#include <QUrl>

namespace {
QPointer<QWidget>& parentSlot() {
    static QPointer<QWidget> parent;
    return parent;
}

QMessageBox::Icon toBoxIcon(Dialogs::Icon icon) {
    switch (icon) {
    case Dialogs::Icon::Information:
        return QMessageBox::Information;
    case Dialogs::Icon::Warning:
        return QMessageBox::Warning;
    case Dialogs::Icon::Question:
        return QMessageBox::Question;
    case Dialogs::Icon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

class RealDialogs : public Dialogs {
public:
    void message(Icon icon, const QString& caption, const QString& text) override {
        QMessageBox box(toBoxIcon(icon), caption, text, QMessageBox::Ok, parentWindow());
        box.exec();
    }
    bool question(const QString& caption, const QString& text) override {
        QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No,
                        parentWindow());
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }
    QString openFile(const QString& caption, const QString& filter) override {
        return QFileDialog::getOpenFileName(parentWindow(), caption, QString(), filter);
    }
    QString saveFile(const QString& caption, const QString& filter, QString* selectedFilter) override {
        return QFileDialog::getSaveFileName(parentWindow(), caption, QString(), filter, selectedFilter);
    }
    std::optional<QColor> chooseColor(const QColor& initial) override {
        const QColor c = QColorDialog::getColor(initial, parentWindow());
        return c.isValid() ? std::optional<QColor>(c) : std::nullopt;
    }
    std::optional<QFont> chooseFont(const QFont& initial) override {
        bool ok = false;
        const QFont f = QFontDialog::getFont(&ok, initial, parentWindow());
        return ok ? std::optional<QFont>(f) : std::nullopt;
    }
    void beep() override { QApplication::beep(); }
    void openDocument(const QString& path) override { QDesktopServices::openUrl(QUrl::fromLocalFile(path)); }
};

Dialogs*& installed() {
    static Dialogs* dialogs = nullptr;
    return dialogs;
}
} // namespace

void Dialogs::showError(const QString& text) {
    instance().message(Icon::Critical, kProgramCaption, text);
}

void Dialogs::setParentWindow(QWidget* parent) {
    parentSlot() = parent;
}

QWidget* Dialogs::parentWindow() {
    return parentSlot().data();
}

Dialogs& Dialogs::instance() {
    static RealDialogs real;
    return installed() ? *installed() : real;
}

void Dialogs::install(Dialogs* dialogs) {
    installed() = dialogs;
}
