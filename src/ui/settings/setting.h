#pragma once

#include <QColor>
#include <QDialog>
#include <QPointer>
#include <QStringList>
#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QStatusBar;
class QTabWidget;
class QToolButton;
class RulesPage;
class ShowPage;
class SpinField;
class TFchangepassword;
class SettingsHost;

// The settings dialog: the prize table, the draw screen's titles, fonts and colours, the prize
// pictures, and the entrant list with its search and import. A frameless window on top of the draw
// screen, shown modally (exec(), or ApplicationModal and show()). Every showing loads its fields from
// prize.db; only the save buttons and the picture buttons write. Closing it, or saving one tab, while
// another tab holds edits not saved asks first. A chosen picture is copied into the event folder.
class Tfsetting : public QDialog {
    Q_OBJECT
public:
    explicit Tfsetting(SettingsHost& form, QWidget* parent = nullptr);
    ~Tfsetting() override;

    // The winners-font colour and the panel colour the display save will write.
    QColor pendingFontColor() const { return m_pendingFontColor; }
    QColor pendingPanelColor() const { return m_pendingPanelColor; }
    // The dialog "修改密码" opens, so a first password can be set even while none guards the settings.
    void setChangePasswordDialog(TFchangepassword* dialog);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildPrizeTab(QWidget* page);
    void buildDisplayTab(QWidget* page);
    void buildListTab(QWidget* page);
    void FormShow();
    void loadEntrantList();
    void BitBtn1Click();
    void BitBtn2Click();
    void pictureClick(int row);
    void SpeedButton2Click();
    void SpeedButton3Click();
    void BitBtn5Click();
    void btn_indataClick();
    void showCaretLine();
    void showEntrantCount();
    void btn_passwordClick();
    void applyPictureMarks(const QStringList& marks);
    // Finishes what is typed in every number field, as leaving the field would.
    void commitNumberFields();
    // The main window reloads the prize table and selects its last prize.
    void reloadForm();
    bool savePrizes();
    bool saveDisplay();

    // The tabs with fields of their own, each saved by its own button.
    enum Tab { kPrizeTab = 0, kDisplayTab = 1, kRulesTab = 3, kShowTab = 4 };
    // What a tab's fields hold, for telling typed from saved.
    QStringList tabValues(int tab) const;
    bool isDirty(int tab) const;
    void markSaved(int tab);
    bool saveTab(int tab);
    // Asks about every tab but except whose fields hold unsaved edits: 保存 saves it, 不保存 leaves
    // it as typed, 取消 (or a save that failed) gives false and the caller does nothing.
    bool settleOthers(int except);
    // The rules page shows the prizes as typed.
    void updateRulesPrizes();
    void btn_backupClick();
    void btn_restoreClick();

    SettingsHost& m_form;
    QColor m_pendingFontColor;
    QColor m_pendingPanelColor;
    QPointer<TFchangepassword> m_changeDialog;
    std::array<QStringList, 5> m_saved;

    QWidget* Image1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QTabWidget* PageControl1 = nullptr;

    // Prize tab, one entry per row.
    std::array<QLineEdit*, 8> nameEdits{};
    std::array<SpinField*, 8> quantityFields{};
    std::array<SpinField*, 8> perDrawFields{};
    std::array<SpinField*, 8> columnFields{};
    std::array<QLineEdit*, 8> goodsEdits{};
    std::array<QCheckBox*, 8> showBoxes{};
    std::array<QToolButton*, 8> pictureButtons{};
    QCheckBox* CheckBox9 = nullptr;
    SpinField* SEdit25 = nullptr;
    QPushButton* BitBtn1 = nullptr;

    // Display tab.
    QLineEdit* edt_title1 = nullptr;
    SpinField* SpinEdit1 = nullptr;
    QLineEdit* edt_title2 = nullptr;
    SpinField* SpinEdit2 = nullptr;
    SpinField* SpinEdit3 = nullptr;
    QToolButton* SpeedButton2 = nullptr;
    QToolButton* SpeedButton3 = nullptr;
    QPushButton* BitBtn2 = nullptr;
    QPushButton* btn_password = nullptr;
    QPushButton* btn_backup = nullptr;
    QPushButton* btn_restore = nullptr;

    // Entrant list tab.
    QPlainTextEdit* Memo1 = nullptr;
    QLineEdit* fedit = nullptr;
    QPushButton* BitBtn5 = nullptr;
    QPushButton* btn_indata = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* caretPanel = nullptr;
    QLabel* pathPanel = nullptr;
    QLabel* countPanel = nullptr;
    QCheckBox* CheckBox10 = nullptr;

    // Who may win what.
    RulesPage* m_rulesPage = nullptr;
    ShowPage* m_showPage = nullptr;
};
