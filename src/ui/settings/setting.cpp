#include "setting.h"

#include "drawsession.h"
#include "verifybox.h"

#include "headerstrip.h"

#include "apppaths.h"
#include "changepassword.h"
#include "clock.h"
#include "colortext.h"
#include "configstore.h"
#include "dialogs.h"
#include "drawmodel.h"
#include "entrantlist.h"
#include "entrantpool.h"
#include "event.h"
#include "eventbackup.h"
#include "eventpictures.h"
#include "functionunit.h"
#include "linedisplaydialog.h"
#include "operationerror.h"
#include "password.h"
#include "rulespage.h"
#include "settingshost.h"
#include "sheetlimits.h"
#include "sheettable.h"
#include "showpage.h"
#include "spinfield.h"
#include "spreadsheetimport.h"
#include "textfiles.h"

#include <QAbstractTextDocumentLayout>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWindow>

namespace {
const QString kJP = QStringLiteral("JP");
const QString kShow = QStringLiteral("Show");
const QString kShowpicture = QStringLiteral("Showpicture");
const QString kSetting = QStringLiteral("Setting");
const QString kDefaultTitle = QStringLiteral("某某公司现场抽奖仪式");
// The picture formats the draw screen can show.
const QString kPictureFilter = QStringLiteral("图片文件 (*.jpg *.jpeg *.bmp *.ico *.png)");
const QString kTextFilter = QStringLiteral("文本文件(*.txt)");
const QString kBackupFilter = QStringLiteral("活动备份 (*.zip)");

QString key(const char* stem, int row) {
    return QLatin1String(stem) + QString::number(row + 1);
}

QPushButton* makeButton(const QString& text, const QString& name, QWidget* parent) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    // Enter in a field never presses a button of this dialog.
    button->setAutoDefault(false);
    return button;
}

QLineEdit* makeEdit(const QString& name, int width, QWidget* parent) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    if (width > 0)
        edit->setFixedWidth(width);
    return edit;
}

// A field too narrow for its text shows the text's start (where the name begins), not its end.
void setTextFromStart(QLineEdit* edit, const QString& text) {
    edit->setText(text);
    edit->setCursorPosition(0);
}

template <typename Field> Field* named(Field* field, const QString& name, int width) {
    field->setObjectName(name);
    if (width > 0)
        field->setFixedWidth(width);
    return field;
}
} // namespace

Tfsetting::Tfsetting(SettingsHost& form, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_form(form),
      m_pendingFontColor(form.gridFontColor()), m_pendingPanelColor(form.gridColor()) {
    setObjectName(QStringLiteral("fsetting"));
    setWindowTitle(QStringLiteral("奖项设置"));
    setFixedSize(422, 399);

    Image1 = new HeaderStrip(this, true);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 422, 32);
    SpeedButton1 = new QToolButton(Image1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setText(QStringLiteral("✕"));
    SpeedButton1->setToolTip(QStringLiteral("关闭"));
    SpeedButton1->setStyleSheet(QStringLiteral("QToolButton { color: white; font-weight: bold; }"));
    SpeedButton1->setGeometry(422 - 28, 4, 24, 24);
    // Like a title bar's close button it never takes the focus: a Space pressed out of habit (the draw
    // key) must not close the dialog and throw away what is typed.
    SpeedButton1->setFocusPolicy(Qt::NoFocus);
    connect(SpeedButton1, &QToolButton::clicked, this, &QDialog::close);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName(QStringLiteral("PageControl1"));
    PageControl1->setGeometry(2, 34, 418, 363);
    auto* prizePage = new QWidget;
    auto* displayPage = new QWidget;
    auto* listPage = new QWidget;
    prizePage->setObjectName(QStringLiteral("TabSheet1"));
    displayPage->setObjectName(QStringLiteral("TabSheet2"));
    listPage->setObjectName(QStringLiteral("TabSheet3"));
    buildPrizeTab(prizePage);
    buildDisplayTab(displayPage);
    buildListTab(listPage);
    PageControl1->addTab(prizePage, QStringLiteral("奖项设置"));
    PageControl1->addTab(displayPage, QStringLiteral("显示设置"));
    PageControl1->addTab(listPage, QStringLiteral("所有名单查看"));
    m_rulesPage = new RulesPage(form);
    PageControl1->addTab(m_rulesPage, QStringLiteral("抽奖范围"));
    m_rulesPage->setBeforeSave([this] { return settleOthers(kRulesTab); });
    connect(m_rulesPage, &RulesPage::saved, this, [this] { markSaved(kRulesTab); });
    m_showPage = new ShowPage(form);
    PageControl1->addTab(m_showPage, QStringLiteral("舞台效果"));
    m_showPage->setBeforeSave([this] { return settleOthers(kShowTab); });
    connect(m_showPage, &ShowPage::saved, this, [this] { markSaved(kShowTab); });
    for (int r = 0; r < 8; ++r) {
        connect(nameEdits[r], &QLineEdit::textChanged, this, &Tfsetting::updateRulesPrizes);
        connect(quantityFields[r], &QSpinBox::valueChanged, this, &Tfsetting::updateRulesPrizes);
    }
    connect(CheckBox9, &QCheckBox::toggled, this, &Tfsetting::updateRulesPrizes);

    // The design's 422 by 399 at the least; wider or taller only where the system's fonts need it, so
    // no heading runs into the next and the fields hold a long name whole.
    const QSize tabs = PageControl1->minimumSizeHint().expandedTo(PageControl1->sizeHint());
    const int width = std::max(422, tabs.width() + 4);
    const int height = std::max(399, tabs.height() + 36);
    setFixedSize(width, height);
    Image1->setGeometry(0, 0, width, 32);
    SpeedButton1->move(width - 28, 4);
    PageControl1->setGeometry(2, 34, width - 4, height - 36);

    // The marks follow every layout pass of the main window.
    form.whenPictureMarksChange(this, [this] { applyPictureMarks(m_form.pictureMarks()); });
    applyPictureMarks(form.pictureMarks());
}

Tfsetting::~Tfsetting() = default;

void Tfsetting::buildPrizeTab(QWidget* page) {
    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(4);
    const QStringList headings{QStringLiteral("奖项"),       QStringLiteral("名额   "),
                               QStringLiteral("每次抽几名"), QStringLiteral("显示列数"),
                               QStringLiteral("奖品"),       QStringLiteral("文字"),
                               QStringLiteral("奖品图")};
    for (int c = 0; c < headings.size(); ++c)
        grid->addWidget(new QLabel(headings[c], page), 0, c);
    grid->setHorizontalSpacing(6);
    // Room for a prize or goods name of seven Chinese characters ("新能源汽车一辆") and its frame.
    const int nameWidth = page->fontMetrics().horizontalAdvance(QStringLiteral("新能源汽车一辆")) + 14;

    for (int r = 0; r < 8; ++r) {
        const int n = r + 1;
        nameEdits[r] = makeEdit(QStringLiteral("Edit%1").arg(5 * n - 4), 0, page);
        nameEdits[r]->setMinimumWidth(nameWidth);
        quantityFields[r] = named(new SpinField(page), QStringLiteral("SEdit%1").arg(3 * n - 2), 52);
        perDrawFields[r] = named(new SpinField(page), QStringLiteral("SEdit%1").arg(3 * n - 1), 52);
        columnFields[r] = named(new SpinField(1, 6, page), QStringLiteral("SEdit%1").arg(3 * n), 44);
        goodsEdits[r] = makeEdit(QStringLiteral("Edit%1").arg(5 * n), 0, page);
        goodsEdits[r]->setMinimumWidth(nameWidth);
        showBoxes[r] =
            named(new QCheckBox(QStringLiteral("显"), page), QStringLiteral("CheckBox%1").arg(n), 0);
        pictureButtons[r] = named(new QToolButton(page), QStringLiteral("sb%1").arg(n), 30);
        QWidget* rowWidgets[] = {nameEdits[r],  quantityFields[r], perDrawFields[r], columnFields[r],
                                 goodsEdits[r], showBoxes[r],      pictureButtons[r]};
        for (int c = 0; c < 7; ++c)
            grid->addWidget(rowWidgets[c], n, c);
        connect(pictureButtons[r], &QToolButton::clicked, this, [this, r] { pictureClick(r); });
    }

    CheckBox9 = named(new QCheckBox(QStringLiteral("允许重复(勾选后号码允许重复抽奖)"), page),
                      QStringLiteral("CheckBox9"), 0);
    SEdit25 = named(new SpinField(page), QStringLiteral("SEdit25"), 60);
    auto* stopRow = new QHBoxLayout;
    stopRow->addWidget(new QLabel(QStringLiteral("抽奖开始后"), page));
    stopRow->addWidget(SEdit25);
    stopRow->addWidget(new QLabel(QStringLiteral("秒后自动停止 (0 秒需手动点停止)"), page));
    stopRow->addStretch();
    BitBtn1 = makeButton(QStringLiteral("保存设置"), QStringLiteral("BitBtn1"), page);
    connect(BitBtn1, &QPushButton::clicked, this, &Tfsetting::BitBtn1Click);
    auto* saveRow = new QHBoxLayout;
    saveRow->addStretch();
    saveRow->addWidget(BitBtn1);

    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(6, 6, 6, 6);
    column->addLayout(grid);
    column->addWidget(CheckBox9);
    column->addWidget(new VerifyBox(m_form.event(), page));
    column->addLayout(stopRow);
    column->addStretch();
    column->addLayout(saveRow);
}

void Tfsetting::buildDisplayTab(QWidget* page) {
    edt_title1 = makeEdit(QStringLiteral("edt_title1"), 0, page);
    edt_title2 = makeEdit(QStringLiteral("edt_title2"), 0, page);
    SpinEdit1 = named(new SpinField(8, 100, page), QStringLiteral("SpinEdit1"), 60);
    SpinEdit2 = named(new SpinField(8, 100, page), QStringLiteral("SpinEdit2"), 60);
    SpinEdit3 = named(new SpinField(8, 100, page), QStringLiteral("SpinEdit3"), 60);
    SpinEdit3->setEnabled(false); // changed only through the font button
    SpeedButton2 = named(new QToolButton(page), QStringLiteral("SpeedButton2"), 0);
    SpeedButton2->setText(QStringLiteral("设置"));
    SpeedButton3 = named(new QToolButton(page), QStringLiteral("SpeedButton3"), 0);
    SpeedButton3->setText(QStringLiteral("设置"));
    BitBtn2 = makeButton(QStringLiteral("保存设置"), QStringLiteral("BitBtn2"), page);
    btn_password = makeButton(QStringLiteral("修改密码"), QStringLiteral("btn_password"), page);
    btn_password->setToolTip(QStringLiteral("设置或修改进入系统设置的密码"));
    connect(btn_password, &QPushButton::clicked, this, &Tfsetting::btn_passwordClick);
    btn_backup = makeButton(QStringLiteral("活动备份..."), QStringLiteral("btn_backup"), page);
    btn_backup->setToolTip(
        QStringLiteral("把整个活动（设置、名单、中奖结果、签到、图片、音乐）存成一个 .zip 文件"));
    btn_restore = makeButton(QStringLiteral("从备份恢复..."), QStringLiteral("btn_restore"), page);
    btn_restore->setToolTip(
        QStringLiteral("用“活动备份”的 .zip 文件替换本活动，原来的文件先移到带日期的文件夹"));
    connect(btn_backup, &QPushButton::clicked, this, &Tfsetting::btn_backupClick);
    connect(btn_restore, &QPushButton::clicked, this, &Tfsetting::btn_restoreClick);
    connect(SpeedButton2, &QToolButton::clicked, this, &Tfsetting::SpeedButton2Click);
    connect(SpeedButton3, &QToolButton::clicked, this, &Tfsetting::SpeedButton3Click);
    connect(BitBtn2, &QPushButton::clicked, this, &Tfsetting::BitBtn2Click);

    auto* grid = new QGridLayout;
    grid->setVerticalSpacing(10);
    grid->addWidget(new QLabel(QStringLiteral("主标题内容"), page), 0, 0);
    grid->addWidget(edt_title1, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("主标题字号"), page), 1, 0);
    grid->addWidget(SpinEdit1, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("副标题内容"), page), 2, 0);
    grid->addWidget(edt_title2, 2, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("副标题字号"), page), 3, 0);
    grid->addWidget(SpinEdit2, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("中奖字体"), page), 4, 0);
    grid->addWidget(SpinEdit3, 4, 1);
    grid->addWidget(SpeedButton2, 4, 2, Qt::AlignLeft);
    grid->addWidget(new QLabel(QStringLiteral("中奖面板颜色"), page), 5, 0);
    grid->addWidget(SpeedButton3, 5, 1, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);

    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(12, 12, 12, 8);
    column->addLayout(grid);
    column->addStretch();
    auto* backupRow = new QHBoxLayout;
    backupRow->addWidget(btn_backup);
    backupRow->addWidget(btn_restore);
    backupRow->addStretch();
    column->addLayout(backupRow);
    auto* saveRow = new QHBoxLayout;
    saveRow->addWidget(btn_password);
    saveRow->addStretch();
    saveRow->addWidget(BitBtn2);
    column->addLayout(saveRow);
}

void Tfsetting::buildListTab(QWidget* page) {
    auto* label = new QLabel(QStringLiteral("资料查找"), page);
    label->setObjectName(QStringLiteral("StaticText10"));
    fedit = makeEdit(QStringLiteral("fedit"), 0, page);
    BitBtn5 = makeButton(QStringLiteral("查找"), QStringLiteral("BitBtn5"), page);
    btn_indata = makeButton(QStringLiteral("导入抽奖名单   "), QStringLiteral("btn_indata"), page);
    connect(BitBtn5, &QPushButton::clicked, this, &Tfsetting::BitBtn5Click);
    connect(btn_indata, &QPushButton::clicked, this, &Tfsetting::btn_indataClick);
    // Entrants from a spreadsheet (xlsx, csv, txt) through a preview of its columns.
    auto* btn_insheet = makeButton(QStringLiteral("从表格导入..."), QStringLiteral("btn_insheet"), page);
    connect(btn_insheet, &QPushButton::clicked, this, [this] {
        SpreadsheetImportDialog::start(this, Memo1, m_form.event(), [this] { return m_form.getdata(); });
    });

    // What the hall sees of each column of the list.
    auto* btn_hallview = makeButton(QStringLiteral("现场显示..."), QStringLiteral("btn_hallview"), page);
    connect(btn_hallview, &QPushButton::clicked, this, [this] {
        auto* dialog = new LineDisplayDialog(m_form.event(), this);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->open();
    });

    Memo1 = new QPlainTextEdit(page);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setReadOnly(true);
    // Read-only, yet the caret moves with the keys and text can be selected and copied.
    Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    Memo1->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->installEventFilter(this);
    Memo1->viewport()->installEventFilter(this);

    StatusBar1 = new QStatusBar(page);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    caretPanel = new QLabel(StatusBar1);
    caretPanel->setObjectName(QStringLiteral("StatusPanel0"));
    caretPanel->setFixedWidth(80);
    pathPanel = new QLabel(StatusBar1);
    pathPanel->setObjectName(QStringLiteral("StatusPanel1"));
    countPanel = new QLabel(StatusBar1);
    countPanel->setObjectName(QStringLiteral("countPanel"));
    StatusBar1->addWidget(caretPanel);
    StatusBar1->addWidget(pathPanel, 1);
    StatusBar1->addPermanentWidget(countPanel);
    // The count follows the pool however it was loaded again (either import, initialise progress).
    m_form.whenPoolLoaded(this, [this] { showEntrantCount(); });

    // The search-from-top mark: set by the prize save, cleared by the next search.
    CheckBox10 = new QCheckBox(page);
    CheckBox10->setObjectName(QStringLiteral("CheckBox10"));
    CheckBox10->hide();

    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(label);
    searchRow->addWidget(fedit, 1);
    searchRow->addWidget(BitBtn5);
    searchRow->addWidget(btn_indata);
    searchRow->addWidget(btn_insheet);
    searchRow->addWidget(btn_hallview);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(2, 4, 2, 0);
    column->setSpacing(3);
    column->addLayout(searchRow);
    column->addWidget(Memo1, 1);
    column->addWidget(StatusBar1);
}

void Tfsetting::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous())
        return;
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    FormShow();
}

void Tfsetting::keyPressEvent(QKeyEvent* event) {
    // The dialog closes only through its close button, so Esc never throws away what is typed.
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool Tfsetting::eventFilter(QObject* watched, QEvent* event) {
    if ((watched == Memo1 && event->type() == QEvent::KeyPress) ||
        (watched == Memo1->viewport() && event->type() == QEvent::MouseButtonRelease))
        showCaretLine();
    return QDialog::eventFilter(watched, event);
}

void Tfsetting::FormShow() {
    const ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
    for (int r = 0; r < 8; ++r)
        setTextFromStart(nameEdits[r], store.readString(kJP, key("Name", r), QString()));
    for (int r = 0; r < 8; ++r)
        quantityFields[r]->setValue(store.readInteger(kJP, key("Num", r), 0));
    for (int r = 0; r < 8; ++r)
        perDrawFields[r]->setValue(store.readInteger(kJP, key("Every", r), 0));
    for (int r = 0; r < 8; ++r)
        columnFields[r]->setValue(store.readInteger(kJP, key("Col", r), 0));
    for (int r = 0; r < 8; ++r)
        setTextFromStart(goodsEdits[r], store.readString(kJP, key("prizename", r), QString()));
    for (int r = 0; r < 8; ++r)
        showBoxes[r]->setChecked(store.readBool(kShow, key("Show", r), false));
    CheckBox9->setChecked(store.readBool(kSetting, QStringLiteral("Repeated"), false));
    SpinEdit1->setValue(store.readInteger(kSetting, QStringLiteral("Title1_font"), 48));
    SpinEdit2->setValue(store.readInteger(kSetting, QStringLiteral("Title2_font"), 16));
    SpinEdit3->setValue(store.readInteger(kSetting, QStringLiteral("Grid_font"), 22));
    setTextFromStart(edt_title1, store.readString(kSetting, QStringLiteral("Title1"), kDefaultTitle));
    setTextFromStart(edt_title2, store.readString(kSetting, QStringLiteral("Title2"), QString()));
    SEdit25->setValue(store.readInteger(kSetting, QStringLiteral("Stoptime"), 0));
    m_pendingFontColor = m_form.gridFontColor();
    m_pendingPanelColor = m_form.gridColor();
    m_rulesPage->load();
    m_showPage->load();
    for (int tab : {kPrizeTab, kDisplayTab, kRulesTab, kShowTab})
        markSaved(tab);
    loadEntrantList();
}

void Tfsetting::closeEvent(QCloseEvent* event) {
    if (isVisible() && !settleOthers(-1)) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

QStringList Tfsetting::tabValues(int tab) const {
    QStringList out;
    if (tab == kPrizeTab) {
        for (int r = 0; r < 8; ++r)
            out << nameEdits[r]->text() << quantityFields[r]->cleanText() << perDrawFields[r]->cleanText()
                << columnFields[r]->cleanText() << goodsEdits[r]->text()
                << QString::number(showBoxes[r]->isChecked());
        out << QString::number(CheckBox9->isChecked()) << SEdit25->cleanText();
    } else if (tab == kDisplayTab) {
        out << edt_title1->text() << edt_title2->text() << SpinEdit1->cleanText() << SpinEdit2->cleanText()
            << SpinEdit3->cleanText() << m_pendingFontColor.name(QColor::HexArgb)
            << m_pendingPanelColor.name(QColor::HexArgb);
    } else if (tab == kRulesTab) {
        out = m_rulesPage->values();
    } else if (tab == kShowTab) {
        out = m_showPage->values();
    }
    return out;
}

bool Tfsetting::isDirty(int tab) const {
    return tabValues(tab) != m_saved[tab];
}

void Tfsetting::markSaved(int tab) {
    m_saved[tab] = tabValues(tab);
}

bool Tfsetting::saveTab(int tab) {
    switch (tab) {
    case kPrizeTab:
        return savePrizes();
    case kDisplayTab:
        return saveDisplay();
    case kRulesTab:
        return m_rulesPage->save();
    case kShowTab:
        return m_showPage->save();
    }
    return true;
}

bool Tfsetting::settleOthers(int except) {
    QList<int> unsaved;
    QStringList names;
    for (int tab : {kPrizeTab, kDisplayTab, kRulesTab, kShowTab})
        if (tab != except && isDirty(tab)) {
            unsaved << tab;
            names << PageControl1->tabText(tab);
        }
    if (unsaved.isEmpty())
        return true;
    // One question for all of them, whichever number of tabs was typed in.
    const bool one = unsaved.size() == 1;
    const int answer =
        Dialogs::instance().choose(Dialogs::kProgramCaption,
                                   one ? QStringLiteral("%1有未保存的修改，是否保存？").arg(names.first())
                                       : QStringLiteral("以下页面有未保存的修改：%1。\n是否全部保存？")
                                             .arg(names.join(QStringLiteral("、"))),
                                   {one ? QStringLiteral("保存") : QStringLiteral("保存全部"),
                                    QStringLiteral("不保存"), QStringLiteral("取消")});
    if (answer == 1)
        return true;
    if (answer != 0)
        return false;
    for (int tab : unsaved)
        if (!saveTab(tab)) {
            PageControl1->setCurrentIndex(tab);
            return false;
        }
    return true;
}

void Tfsetting::updateRulesPrizes() {
    QStringList names;
    QList<bool> offered;
    for (int r = 0; r < 8; ++r) {
        names << nameEdits[r]->text();
        offered << (quantityFields[r]->valueForText(quantityFields[r]->cleanText()) > 0);
    }
    m_rulesPage->showPrizes(names, offered, CheckBox9->isChecked());
    m_showPage->showPrizes(names, offered);
}

void Tfsetting::btn_backupClick() {
    // The archive holds what is saved: edits still typed are settled first.
    if (!settleOthers(-1))
        return;
    QString path = Dialogs::instance().saveFile(
        QStringLiteral("活动备份"), kBackupFilter, nullptr,
        AppPaths::offeredFile(QStringLiteral("活动备份"),
                              Clock::instance().now().toString(QStringLiteral("yyyyMMdd-hhmm")),
                              QStringLiteral(".zip")));
    if (path.isEmpty())
        return;
    if (!path.endsWith(QLatin1String(".zip"), Qt::CaseInsensitive)) {
        path += QStringLiteral(".zip");
        if (QFileInfo::exists(path) &&
            !FunctionUnit::confirm(QStringLiteral("“%1”已存在，要替换它吗?").arg(path)))
            return;
    }
    try {
        const EventBackup::Written written = EventBackup::write(path);
        QString text = QStringLiteral("活动已备份（%1 个文件）到：%2").arg(written.files).arg(path);
        if (!written.outsidePictures.isEmpty())
            text +=
                QStringLiteral("\n\n这些图片不在活动文件夹的“图片”文件夹中，没有备份（在设置中重新选择图片，"
                               "程序会把它复制到“图片”）：\n") +
                written.outsidePictures.join(u'\n');
        FunctionUnit::information(text);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
    }
}

void Tfsetting::btn_restoreClick() {
    if (m_form.session().rolling()) {
        FunctionUnit::warning(QStringLiteral("正在抽奖，请先停止，再从备份恢复。"));
        return;
    }
    if (!FunctionUnit::confirm(
            QStringLiteral("从备份恢复会用备份中的设置、名单、中奖结果、签到和图片替换本活动，"
                           "现在的文件先移到活动文件夹中的“%1日期”文件夹。要继续吗?")
                .arg(EventBackup::kCopyFolderStem)))
        return;
    const QString path = Dialogs::instance().openFile(QStringLiteral("从备份恢复"), kBackupFilter);
    if (path.isEmpty())
        return;
    // The restored event is the running one from here on: its settings, list, winners and check-ins.
    EventBackup::Restored restored;
    const QString refused = m_form.session().restoreBackup(path, &restored);
    if (refused == DrawSession::kRefusedRolling)
        FunctionUnit::warning(QStringLiteral("正在抽奖，请先停止，再从备份恢复。"));
    if (!refused.isEmpty())
        return;
    FormShow();
    reloadForm();
    QString text =
        QStringLiteral("已从备份恢复 %1 个文件，程序已载入其中的设置、名单、中奖结果和签到。%2")
            .arg(restored.files)
            .arg(restored.copyFolder.isEmpty()
                     ? QString()
                     : QStringLiteral("原来的文件在：%1（可用右键菜单“读出抽奖进度”取回其中的中奖结果）。")
                           .arg(restored.copyFolder));
    if (!restored.droppedPictures.isEmpty())
        text += QStringLiteral("\n\n备份的设置中这些图片不在活动的“图片”文件夹中，已去掉：\n") +
                restored.droppedPictures.join(u'\n');
    if (!restored.leftOut.isEmpty())
        text += QStringLiteral("\n\n备份中这些文件不属于活动，没有恢复：\n") + restored.leftOut.join(u'\n');
    FunctionUnit::information(text);
}

void Tfsetting::loadEntrantList() {
    showEntrantCount();
    const QString path = AppPaths::file(AppPaths::kEntrants);
    try {
        Memo1->setPlainText(EntrantList::withCrLf(TextFiles::loadEntrantText()));
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return;
    }
    pathPanel->setText(path);
    pathPanel->setToolTip(path);
}

void Tfsetting::showEntrantCount() {
    countPanel->setText(QStringLiteral("已载入 %1 人").arg(m_form.model().pool.count()));
}

void Tfsetting::setChangePasswordDialog(TFchangepassword* dialog) {
    m_changeDialog = dialog;
}

void Tfsetting::btn_passwordClick() {
    if (m_changeDialog)
        showApplicationModal(*m_changeDialog);
}

void Tfsetting::applyPictureMarks(const QStringList& marks) {
    for (int r = 0; r < 8; ++r)
        pictureButtons[r]->setText(r < marks.size() ? marks[r] : QStringLiteral("无"));
}

void Tfsetting::commitNumberFields() {
    for (int r = 0; r < 8; ++r)
        for (SpinField* field : {quantityFields[r], perDrawFields[r], columnFields[r]})
            field->interpretText();
    for (SpinField* field : {SEdit25, SpinEdit1, SpinEdit2, SpinEdit3})
        field->interpretText();
}

void Tfsetting::reloadForm() {
    m_form.readjp();
    const int listed = static_cast<int>(m_form.model().listedSlots.size());
    if (listed > 0)
        m_form.selectPosition(listed - 1);
    m_form.readstate();
}

void Tfsetting::BitBtn1Click() {
    commitNumberFields();
    if (settleOthers(kPrizeTab))
        savePrizes();
}

bool Tfsetting::savePrizes() {
    if (const QString refusal = m_form.session().settingsRefusal(); !refusal.isEmpty()) {
        FunctionUnit::warning(refusal);
        return false;
    }
    commitNumberFields();
    CheckBox10->setChecked(true);
    // A last row without a name is never offered for drawing.
    if (EntrantPool::trimmed(nameEdits[7]->text()).isEmpty())
        quantityFields[7]->setValue(0);
    // One write a section: the prize table reaches the disk whole or not at all, and a save costs
    // three flushes to disk rather than fifty.
    QList<std::pair<QString, QString>> prizes, shown;
    const auto add = [](QList<std::pair<QString, QString>>& entries, const char* stem, auto value) {
        for (int r = 0; r < 8; ++r)
            entries.append({key(stem, r), value(r)});
    };
    add(prizes, "Name", [this](int r) { return nameEdits[r]->text(); });
    add(prizes, "Num", [this](int r) { return QString::number(quantityFields[r]->value()); });
    add(prizes, "Every", [this](int r) { return QString::number(perDrawFields[r]->value()); });
    add(prizes, "Col", [this](int r) { return QString::number(columnFields[r]->value()); });
    add(prizes, "prizename", [this](int r) { return goodsEdits[r]->text(); });
    add(shown, "Show", [this](int r) { return QString::number(showBoxes[r]->isChecked() ? 1 : 0); });
    try {
        ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
        store.writeStrings(kJP, prizes);
        store.writeStrings(kShow, shown);
        store.writeStrings(kSetting,
                           {{QStringLiteral("Repeated"), QString::number(CheckBox9->isChecked() ? 1 : 0)},
                            {QStringLiteral("Stoptime"), QString::number(SEdit25->value())}});
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return false;
    }
    markSaved(kPrizeTab);
    reloadForm();
    m_form.getscreensize();
    return true;
}

void Tfsetting::BitBtn2Click() {
    commitNumberFields();
    if (settleOthers(kDisplayTab))
        saveDisplay();
}

bool Tfsetting::saveDisplay() {
    if (const QString refusal = m_form.session().settingsRefusal(); !refusal.isEmpty()) {
        FunctionUnit::warning(refusal);
        return false;
    }
    commitNumberFields();
    try {
        ConfigStore(AppPaths::file(AppPaths::kPrizeDb))
            .writeStrings(kSetting, {{QStringLiteral("Title1"), edt_title1->text()},
                                     {QStringLiteral("Title2"), edt_title2->text()},
                                     {QStringLiteral("Title1_font"), QString::number(SpinEdit1->value())},
                                     {QStringLiteral("Title2_font"), QString::number(SpinEdit2->value())},
                                     {QStringLiteral("Grid_font"), QString::number(SpinEdit3->value())},
                                     {QStringLiteral("Grid_font_color"),
                                      ColorText::colorToString(ColorText::fromQColor(m_pendingFontColor))},
                                     {QStringLiteral("Grid_color"),
                                      ColorText::colorToString(ColorText::fromQColor(m_pendingPanelColor))}});
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return false;
    }
    markSaved(kDisplayTab);
    reloadForm();
    return true;
}

void Tfsetting::pictureClick(int row) {
    const QString chosen = Dialogs::instance().openFile(QStringLiteral("选择奖品图片"), kPictureFilter);
    // A cancelled choice is how a prize's picture is removed. A chosen one is copied into the event
    // folder and kept relative to it, so the event can move to another laptop.
    QString file;
    try {
        file = chosen.isEmpty() ? QString() : EventPictures::adopt(chosen);
        ConfigStore store(AppPaths::file(AppPaths::kPrizeDb));
        store.writeString(kShowpicture, key("Picture", row), file);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return;
    }
    pictureButtons[row]->setText(file.isEmpty() ? QStringLiteral("无") : QStringLiteral("有"));
}

void Tfsetting::SpeedButton2Click() {
    // A colour chosen earlier and not saved gives way to the main window's colour.
    m_pendingFontColor = m_form.gridFontColor();
    QFont initial = font();
    initial.setPointSize(SpinEdit3->value());
    const std::optional<QFont> chosen = Dialogs::instance().chooseFont(initial);
    if (!chosen)
        return;
    const int size = chosen->pointSize() > 0 ? chosen->pointSize() : qRound(chosen->pointSizeF());
    if (size > 0)
        SpinEdit3->setValue(size);
    // The font dialog gives no colour, so the winners' font colour is asked for right after it.
    if (const std::optional<QColor> colour = Dialogs::instance().chooseColor(m_pendingFontColor))
        m_pendingFontColor = *colour;
}

void Tfsetting::SpeedButton3Click() {
    m_pendingPanelColor = m_form.gridColor();
    if (const std::optional<QColor> colour = Dialogs::instance().chooseColor(m_pendingPanelColor))
        m_pendingPanelColor = *colour;
}

void Tfsetting::BitBtn5Click() {
    const QString needle = fedit->text();
    if (needle.isEmpty())
        return;
    QTextCursor cursor = Memo1->textCursor();
    if (CheckBox10->isChecked()) {
        cursor.setPosition(0);
        Memo1->setTextCursor(cursor);
        CheckBox10->setChecked(false);
    }
    // A selection that is the search text itself is stepped over, so the next press finds the next
    // occurrence; the view keeps it selected until another is found.
    qsizetype from = cursor.selectionStart();
    if (cursor.hasSelection() &&
        EntrantList::lowerLatin(cursor.selectedText()) == EntrantList::lowerLatin(needle))
        from = cursor.selectionEnd();

    const qsizetype at = EntrantList::find(Memo1->toPlainText(), needle, from);
    if (at < 0) {
        Dialogs::instance().message(Dialogs::Icon::Information, Dialogs::kProgramCaption,
                                    EntrantList::notFoundText(needle));
        Memo1->setFocus();
        return;
    }
    Memo1->setFocus();
    cursor.setPosition(static_cast<int>(at));
    cursor.setPosition(static_cast<int>(at + needle.size()), QTextCursor::KeepAnchor);
    Memo1->setTextCursor(cursor);
    Memo1->ensureCursorVisible();
}

void Tfsetting::btn_indataClick() {
    const QString target = AppPaths::file(AppPaths::kEntrants);
    if (!FunctionUnit::confirm(EntrantList::importQuestion(target)))
        return;
    const QString source = Dialogs::instance().openFile(QStringLiteral("导入抽奖名单"), kTextFilter);
    if (source.isEmpty())
        return;
    EntrantList::Import imported;
    try {
        imported = EntrantList::readForImport(source);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return;
    } catch (const std::bad_alloc&) {
        Dialogs::showError(SheetErrors::outOfMemory(source).message());
        return;
    }
    Memo1->setPlainText(imported.text);
    try {
        EntrantList::writeList(imported.bytes);
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
        return;
    }
    // A text list has no column titles, and no choices of what the hall sees of them: those of an
    // earlier spreadsheet no longer fit it.
    try {
        SheetImport::keepColumnTitles({});
        m_form.event().setLineDisplay(LineDisplay());
    } catch (const OperationError& error) {
        Dialogs::showError(error.message());
    }
    const bool loaded = m_form.getdata();
    showEntrantCount();
    if (loaded)
        FunctionUnit::information(QStringLiteral("资料导入成功！"));
}

void Tfsetting::showCaretLine() {
    QTextDocument* document = Memo1->document();
    QAbstractTextDocumentLayout* layout = document->documentLayout();
    const int position = Memo1->textCursor().selectionStart();
    // Lines are counted as displayed, so wrapped entries count once per display line; blocks the
    // view has not laid out yet are laid out here.
    int total = 0;
    int line = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        if (block.layout()->lineCount() == 0)
            layout->blockBoundingRect(block);
        if (block.contains(position)) {
            const QTextLine textLine = block.layout()->lineForTextPosition(position - block.position());
            line = total + (textLine.isValid() ? textLine.lineNumber() : 0);
        }
        total += std::max(1, block.layout()->lineCount());
    }
    // The empty line after a final line break is not counted.
    if (document->blockCount() > 1 && document->lastBlock().length() <= 1)
        --total;
    caretPanel->setText(QStringLiteral("%1 / %2").arg(line + 1).arg(total));
}
