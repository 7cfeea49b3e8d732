#include "app/frm_pelmar.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStandardPaths>
#include <QStyledItemDelegate>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <utility>

#include "app/auto_size_label.h"
#include "app/desktop_services.h"
#include "app/error_report.h"
#include "app/url_label.h"
#include "app/web_browser.h"
#include "app/workflows/executable_folder.h"
#include "app/workflows/setting_file.h"

namespace {

// Every row of the address list is 13 pixels high, whatever its text.
class TFixedRowDelegate : public QStyledItemDelegate {
 public:
  TFixedRowDelegate(int height, QObject* parent) : QStyledItemDelegate(parent), height_(height) {}
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    return QSize(QStyledItemDelegate::sizeHint(option, index).width(), height_);
  }

 private:
  int height_;
};

constexpr int kListRowHeight = 13;

const char kSourceUrlText[] = "http://www.portal.example/";
const char kPublisherSite[] = "http://www.tamsel.example/";

// Read-only fields have the background Windows gives scroll-bar tracks (200,200,200 on a
// classic desktop), a step darker than the button face. Qt has no such role; the button
// colour darkened by a fifth gives exactly that grey on Qt's default palette and follows the
// desktop's theme elsewhere.
QColor ScrollBarColor(const QPalette& palette) {
  return palette.color(QPalette::Active, QPalette::Button).darker(120);
}

QString Local(const std::string& bytes) {
  return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string Bytes(const QString& text) {
  return text.toLocal8Bit().toStdString();
}

TSelectSaveDirHook& SelectSaveDirHook() {
  static TSelectSaveDirHook hook;
  return hook;
}

}  // namespace

bool SelectSaveDir(const QString& title, QWidget* owner, QString& path) {
  path.clear();
  bool confirmed = false;
  if (SelectSaveDirHook()) {
    confirmed = SelectSaveDirHook()(title, owner, path);
  } else {
    path = QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
    confirmed = !path.isEmpty();
  }
  // A confirmed item without a file-system path counts as a cancel.
  if (!confirmed || path.isEmpty()) {
    path.clear();
    return false;
  }
  return true;
}

void SetSelectSaveDirHook(TSelectSaveDirHook hook) {
  SelectSaveDirHook() = std::move(hook);
}

std::string DefaultSettingFileName() {
  const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
  return SettingFilePath(ExecutableFolder(), Bytes(config));
}

TFrmPelmar::TFrmPelmar(std::string settingFileName, QWidget* parent)
    : QWidget(parent), setting_file_name_(std::move(settingFileName)) {
  setWindowTitle(ApplicationTitle());
  QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
  font.setPointSize(8);
  font.setWeight(QFont::Normal);
  font.setItalic(false);
  setFont(font);
  move(kLeft, kTop);
  resize(kWidth, kHeight);
  CreateControls();
  SetTabOrder();
  stratBtn->setFocus();
  RunHandler([this] { FormCreate(); });
}

TFrmPelmar::~TFrmPelmar() = default;

void TFrmPelmar::CreateControls() {
  stratBtn = new QPushButton(QString::fromUtf8("抓取"), this);
  stratBtn->setObjectName("stratBtn");
  stratBtn->setGeometry(326, 6, 67, 27);

  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setGeometry(14, 60, 366, 368);
  ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListBox1->setSortingEnabled(false);
  ListBox1->setUniformItemSizes(true);
  ListBox1->setItemDelegate(new TFixedRowDelegate(kListRowHeight, ListBox1));
  connect(ListBox1, &QListWidget::itemSelectionChanged, this, &TFrmPelmar::QueueListBox1Click);
  connect(ListBox1, &QListWidget::currentRowChanged, this, &TFrmPelmar::QueueListBox1Click);

  WebBrowser1 = new TWebBrowser(this);
  WebBrowser1->setObjectName("WebBrowser1");
  WebBrowser1->setGeometry(385, 60, 368, 369);

  sourceUrl = new QLineEdit(QString::fromLatin1(kSourceUrlText), this);
  sourceUrl->setObjectName("sourceUrl");
  sourceUrl->setGeometry(18, 8, 302, 21);

  Label1 = new TAutoSizeLabel(this);
  Label1->setObjectName("Label1");
  Label1->move(17, 437);
  Label1->SetCaption(QString::fromUtf8("文件总数   "));

  const QColor readOnlyColor = ScrollBarColor(palette());
  swfUrlPathTxt = new QLineEdit(this);
  swfUrlPathTxt->setObjectName("swfUrlPathTxt");
  swfUrlPathTxt->setGeometry(16, 36, 739, 21);
  swfUrlPathTxt->setReadOnly(true);
  QPalette readOnly = swfUrlPathTxt->palette();
  readOnly.setColor(QPalette::Base, readOnlyColor);
  swfUrlPathTxt->setPalette(readOnly);

  URLLabel1 = new TURLLabel(this);
  URLLabel1->setObjectName("URLLabel1");
  URLLabel1->setText(QString::fromUtf8("更多精品工具-Tamsel网     "));
  URLLabel1->setGeometry(627, 6, 126, 13);
  URLLabel1->URL = QString::fromLatin1(kPublisherSite);

  DownBtn = new QPushButton(QString::fromUtf8("下载 Ctrl+D"), this);
  DownBtn->setObjectName("DownBtn");
  DownBtn->setGeometry(648, 432, 105, 28);

  outPathTxt = new QLineEdit(Local(DefaultOutPath()), this);
  outPathTxt->setObjectName("outPathTxt");
  outPathTxt->setGeometry(120, 436, 201, 21);
  outPathTxt->setReadOnly(true);
  outPathTxt->setFont(font());
  outPathTxt->setPalette(readOnly);

  SelOutPath = new QPushButton(QStringLiteral(">>"), this);
  SelOutPath->setObjectName("SelOutPath");
  SelOutPath->setGeometry(326, 434, 49, 25);
  connect(SelOutPath, &QPushButton::clicked, this,
          [this] { RunHandler([this] { SelOutPathClick(); }); });

  openPath = new QPushButton(QString::fromUtf8("打开"), this);
  openPath->setObjectName("openPath");
  openPath->setGeometry(378, 434, 49, 25);
  connect(openPath, &QPushButton::clicked, this,
          [this] { RunHandler([this] { openPathClick(); }); });
}

std::vector<QWidget*> TFrmPelmar::TabStops() const {
  return {stratBtn, ListBox1,   WebBrowser1, sourceUrl, swfUrlPathTxt,
          DownBtn,  outPathTxt, SelOutPath,  openPath};
}

void TFrmPelmar::SetTabOrder() {
  const std::vector<QWidget*> stops = TabStops();
  for (size_t i = 1; i < stops.size(); ++i)
    QWidget::setTabOrder(stops[i - 1], stops[i]);
}

// Tab and Shift+Tab walk the tab stops themselves. The browser in the pane brings focus
// widgets of its own once it shows a page, and hands Tab back here when it leaves its page,
// so the pane keeps its place between the list and the address field.
bool TFrmPelmar::focusNextPrevChild(bool next) {
  const std::vector<QWidget*> stops = TabStops();
  const QWidget* focus = focusWidget();
  const auto at = std::find_if(stops.begin(), stops.end(), [focus](const QWidget* stop) {
    return focus && (stop == focus || stop->isAncestorOf(focus));
  });
  if (at == stops.end()) return QWidget::focusNextPrevChild(next);
  const int count = static_cast<int>(stops.size());
  const int from = static_cast<int>(at - stops.begin());
  for (int step = 1; step < count; ++step) {
    QWidget* stop = stops[static_cast<size_t>((from + (next ? step : count - step)) % count)];
    if (stop->isVisible() && stop->isEnabled()) {
      stop->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
      return true;
    }
  }
  return false;
}

void TFrmPelmar::FormCreate() {
  swfUrlList = std::make_unique<TStringList>();
  SettingFileIO(1);
  outPathTxt->setText(Local(SeedOutPath(outPath, Bytes(outPathTxt->text()))));
  Label1->SetCaption(QString());
}

void TFrmPelmar::FormShow() {
  URLLabel1->resize(TextPixelWidth(URLLabel1, URLLabel1->text()), URLLabel1->height());
}

void TFrmPelmar::FormClose() {
  swfUrlList.reset();
  SettingFileIO(0);
}

void TFrmPelmar::SettingFileIO(int mode) {
  if (mode == 1)
    ReadSettingFile(setting_file_name_, outPath);
  else if (mode == 0)
    WriteSettingFile(setting_file_name_, outPath);
}

void TFrmPelmar::ListBox1Click() {
  const QListWidgetItem* current = ListBox1->currentItem();
  if (!current) return;
  swfUrlPathTxt->setText(current->text());
  WebBrowser1->Navigate(current->text());
}

void TFrmPelmar::SelOutPathClick() {
  QString path;
  if (!SelectSaveDir(QString::fromUtf8("选择保存目录"), this, path)) return;
  outPath.Assign(Bytes(path));
  outPathTxt->setText(path);
}

void TFrmPelmar::openPathClick() {
  OpenDesktopUrl(QUrl::fromLocalFile(Local(outPath.Text())));
}

// A click or a key changes the current row and the selection one after the other; the
// preview runs once for both, after the list has settled.
void TFrmPelmar::QueueListBox1Click() {
  if (list_click_queued_) return;
  list_click_queued_ = true;
  QTimer::singleShot(0, this, [this] {
    list_click_queued_ = false;
    RunHandler([this] { ListBox1Click(); });
  });
}

void TFrmPelmar::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (event->spontaneous()) return;
  RunHandler([this] { FormShow(); });
  QTimer::singleShot(0, this, &TFrmPelmar::FitOuterSize);
}

void TFrmPelmar::closeEvent(QCloseEvent* event) {
  // A settings file that cannot be written is reported, and the window closes anyway.
  RunHandler([this] { FormClose(); });
  event->accept();
}

void TFrmPelmar::moveEvent(QMoveEvent* event) {
  QWidget::moveEvent(event);
  FitOuterSize();
}

// The window's size counts its frame. The frame is known only once a window manager has
// framed the window; without one (a bare virtual display) there is none and the client area
// takes the whole size.
void TFrmPelmar::FitOuterSize() {
  if (outer_size_fitted_ || !isVisible()) return;
  const QSize frame = frameGeometry().size() - geometry().size();
  if (frame.width() <= 0 && frame.height() <= 0) return;
  outer_size_fitted_ = true;
  resize(kWidth - frame.width(), kHeight - frame.height());
}
