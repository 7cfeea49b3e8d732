#include "app/frm_pelmar.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCollator>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <utility>

#include "app/anti_freeze.h"
#include "app/auto_size_label.h"
#include "app/desktop_services.h"
#include "app/download_failure.h"
#include "app/error_report.h"
#include "app/movie_preview.h"
#include "app/row_state_delegate.h"
#include "app/transfer_controls.h"
#include "app/url_label.h"
#include "app/web_browser.h"
#include "app/window_text.h"
#include "base/charset.h"
#include "base/exception.h"
#include "base/net_exceptions.h"
#include "base/text.h"
#include "http/http.h"
#include "page/page_reader_stream.h"
#include "rescue/client_options.h"
#include "rescue/dependencies.h"
#include "rescue/download.h"
#include "rescue/error_text.h"
#include "rescue/executable_folder.h"
#include "rescue/frame_pages.h"
#include "rescue/movie_list.h"
#include "rescue/page_grab.h"
#include "rescue/player_installer.h"
#include "rescue/run_files.h"
#include "rescue/saved_names.h"
#include "rescue/setting_file.h"
#include "rescue/web_client.h"
#include "rescue/web_client_settings.h"
#include "uri/address_encoding.h"
#include "uri/referer_policy.h"

namespace {

constexpr int kListRowHeight = 13;
// The line under the controls that shows a status too long for its label.
constexpr int kStatusLeft = 17, kStatusTop = 463, kStatusWidth = 736, kStatusHeight = 13;

const char kSourceUrlText[] = "http://www.portal.example/";
const char kPublisherSite[] = "http://www.tamsel.example/";

// Read-only fields have the background Windows gives scroll-bar tracks (200,200,200 on a
// classic desktop), a step darker than the button face. Qt has no such role; the button
// colour darkened by a fifth gives exactly that grey on Qt's default palette and follows the
// desktop's theme elsewhere.
QColor ScrollBarColor(const QPalette& palette) {
  return palette.color(QPalette::Active, QPalette::Button).darker(120);
}

// An address as the list shows it: decoded for reading.
QString Shown(const std::string& address) {
  return Utf8(DisplayedAddress(address));
}

// The user locale's collation of the addresses as shown, without regard to letter case;
// entries that differ only in case ("Tetris.swf", "tetris.swf": two files on the server) by
// their bytes.
TStringList::TCompare LocaleCaseInsensitiveCompare() {
  auto collator = std::make_shared<QCollator>(QLocale::system());
  collator->setCaseSensitivity(Qt::CaseInsensitive);
  return [collator](const std::string& a, const std::string& b) {
    const int c = collator->compare(Shown(a), Shown(b));
    return c != 0 ? c : a.compare(b);
  };
}

// The sort key of the same collation, worked out once per entry. Keys do not follow the
// collator's case rule on every platform, so they are made from the case-folded text.
struct TListKey {
  QCollatorSortKey Folded;
  std::string Bytes;
  int compare(const TListKey& other) const {
    const int c = Folded.compare(other.Folded);
    return c != 0 ? c : Bytes.compare(other.Bytes);
  }
};

std::function<TListKey(const std::string&)> LocaleCaseInsensitiveSortKey() {
  auto collator = std::make_shared<QCollator>(QLocale::system());
  collator->setCaseSensitivity(Qt::CaseInsensitive);
  return [collator](const std::string& text) {
    return TListKey{collator->sortKey(Shown(text).toCaseFolded()), text};
  };
}

bool& BrowserAtStart() {
  static bool atStart = false;
  return atStart;
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
  AntiFreeze1 = std::make_unique<TNetAntiFreeze>();
  // Data that keeps coming leaves no wait idle; the window needs its turn then too.
  AntiFreeze1->OnlyWhenIdle = false;
  // The window's clients take the description's defaults: the stored settings, https and
  // redirects.
  PageClient = std::make_unique<TWebClient>();
  NetHTTP1 = &PageClient->Http();
  DownloadClient = std::make_unique<TWebClient>();
  UdownFileHttp = &DownloadClient->Http();
  // With the anti-freeze every receive first tests for readable data; larger receives keep
  // that test's share of a fast download small.
  UdownFileHttp->RecvBufferSize = kDownloadReceiveSize;
  PreviewClient = std::make_unique<TWebClient>();
  PreviewHttp = &PreviewClient->Http();
  CreateControls();
  Transfer = std::make_unique<TTransferControls>(
      this, *AntiFreeze1, std::vector<TNetCustomHTTP*>{NetHTTP1, UdownFileHttp},
      std::vector<QWidget*>{stratBtn, DownBtn, ListBox1, SelOutPath, DepsCheck});
  StopBtn = Transfer->StopBtn;
  ProgressBar1 = Transfer->ProgressBar;
  Transfer->OnProgress = [this](const TTransferState& state) {
    if (progress_row_ && state.Total > 0)
      progress_row_->setData(rrState, tr("下载中 %1%").arg(state.Bytes * 100 / state.Total));
  };
  Transfer->OnRunEnded = [this] {
    if (click_after_run_) {
      click_after_run_ = false;
      QueueListBox1Click();
    }
    if (!close_after_run_) return;
    close_after_run_ = false;
    close();
  };
  preview_ = std::make_unique<TMoviePreview>(*WebBrowser1, *PreviewHttp);
  if (BrowserAtStart()) WebBrowser1->Prepare();
  KeepStartLayout();
  SetTabOrder();
  stratBtn->setFocus();
  RunHandler([this] { FormCreate(); });
}

TFrmPelmar::~TFrmPelmar() = default;

void TFrmPelmar::SetBrowserAtStart(bool atStart) {
  BrowserAtStart() = atStart;
}

void TFrmPelmar::CreateControls() {
  stratBtn = new QPushButton(tr("抓取"), this);
  stratBtn->setObjectName("stratBtn");
  stratBtn->setGeometry(326, 6, 67, 27);
  connect(stratBtn, &QPushButton::clicked, this,
          [this] { RunHandler([this] { stratBtnClick(); }); });

  ListBox1 = new QListWidget(this);
  ListBox1->setObjectName("ListBox1");
  ListBox1->setGeometry(14, 60, 366, 368);
  ListBox1->setSelectionMode(QAbstractItemView::ExtendedSelection);
  ListBox1->setSortingEnabled(false);
  ListBox1->setUniformItemSizes(true);
  ListBox1->setItemDelegate(new TRowStateDelegate(kListRowHeight, ListBox1));
  connect(ListBox1, &QListWidget::itemSelectionChanged, this, &TFrmPelmar::QueueListBox1Click);
  connect(ListBox1, &QListWidget::currentRowChanged, this, &TFrmPelmar::QueueListBox1Click);
  connect(ListBox1, &QListWidget::itemActivated, this,
          [this](QListWidgetItem* row) { RunHandler([this, row] { ShowRowDetails(*row); }); });
  ListBox1->installEventFilter(this);

  WebBrowser1 = new TWebBrowser(this);
  WebBrowser1->setObjectName("WebBrowser1");
  WebBrowser1->setGeometry(385, 60, 368, 369);

  sourceUrl = new QLineEdit(QString::fromLatin1(kSourceUrlText), this);
  sourceUrl->setObjectName("sourceUrl");
  sourceUrl->setGeometry(18, 8, 302, 21);
  // Enter in the address grabs, as the button does.
  connect(sourceUrl, &QLineEdit::returnPressed, this,
          [this] { RunHandler([this] { stratBtnClick(); }); });

  Label1 = new TAutoSizeLabel(this);
  Label1->setObjectName("Label1");
  Label1->move(17, 437);
  Label1->SetCaption(tr("文件总数   "));

  StatusLine = new QLabel(this);
  StatusLine->setObjectName("StatusLine");
  StatusLine->setGeometry(kStatusLeft, kStatusTop, kStatusWidth, kStatusHeight);
  StatusLine->hide();

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
  URLLabel1->setText(tr("更多精品工具-Tamsel网     "));
  URLLabel1->setGeometry(627, 6, 126, 13);
  URLLabel1->URL = QString::fromLatin1(kPublisherSite);

  DownBtn = new QPushButton(tr("下载 Ctrl+D"), this);
  DownBtn->setObjectName("DownBtn");
  DownBtn->setGeometry(648, 432, 105, 28);
  connect(DownBtn, &QPushButton::clicked, this, [this] { RunHandler([this] { DownBtnClick(); }); });

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

  openPath = new QPushButton(tr("打开"), this);
  openPath->setObjectName("openPath");
  openPath->setGeometry(378, 434, 49, 25);
  connect(openPath, &QPushButton::clicked, this,
          [this] { RunHandler([this] { openPathClick(); }); });

  // In the free space between the folder buttons and the download button.
  DepsCheck = new QCheckBox(tr("连同依赖文件"), this);
  DepsCheck->setObjectName("DepsCheck");
  DepsCheck->setGeometry(436, 437, 150, 19);
  DepsCheck->setChecked(false);
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
  // The movie comes through PreviewHttp, sent from the page it was found on.
  const std::string address = RequestAddress(current->text());
  preview_->Show(address, RefererFor(PageOf(address), address));
}

void TFrmPelmar::ShowRowDetails(const QListWidgetItem& row) {
  const QString state = row.data(rrState).toString();
  if (state.isEmpty()) return;
  if (!row_details_box_) {
    row_details_box_ =
        new QMessageBox(QMessageBox::NoIcon, QString(), QString(), QMessageBox::Ok, this);
    row_details_box_->setAttribute(Qt::WA_DeleteOnClose);
    row_details_box_->setWindowModality(Qt::NonModal);
  }
  const QString size = row.data(rrSize).toString();
  QString text = row.text() + QStringLiteral("\n") + (size.isEmpty() ? state : size + "  " + state);
  if (!row.toolTip().isEmpty()) text += QStringLiteral("\n\n") + row.toolTip();
  row_details_box_->setWindowTitle(ApplicationTitle());
  row_details_box_->setText(text);
  row_details_box_->show();
}

std::string TFrmPelmar::RequestAddress(const QString& shown) const {
  // A row shows its address decoded for reading; encoded again it is the address found.
  return ShownAddressRequest(Utf8Bytes(shown));
}

const std::string& TFrmPelmar::PageOf(const std::string& address) const {
  const auto found = movie_pages_.find(address);
  return found != movie_pages_.end() ? found->second : grabbed_page_;
}

void TFrmPelmar::SelOutPathClick() {
  QString path;
  if (!SelectSaveDir(tr("选择保存目录"), this, path)) return;
  outPath.Assign(Bytes(path));
  outPathTxt->setText(path);
}

void TFrmPelmar::openPathClick() {
  // Without a file manager nothing would show: the status says where the folder is.
  if (!OpenDesktopUrl(QUrl::fromLocalFile(Local(outPath.Text()))))
    Label1->SetCaption(tr("无法打开文件夹，它在 ") + Local(outPath.Text()) + QStringLiteral("  "));
}

void TFrmPelmar::stratBtnClick() {
  if (Transfer->Busy()) return;
  TTransferControls::TRun run(*Transfer);
  run.StartItem();
  TPageFetchOutcome outcome;
  std::string address;
  try {
    address = TypedAddress(Utf8Bytes(sourceUrl->text()));
  } catch (...) {
    outcome.LastError = std::current_exception();
  }
  // The page is read as it arrives; only its movies are kept.
  std::unique_ptr<TPageReaderStream> reader;
  if (!address.empty()) reader = ReadPage(*NetHTTP1, address, kPageAttempts, outcome);
  std::vector<std::string> found;
  std::vector<std::string> frames;
  TFrameReading framed;
  grabbed_page_.clear();
  movie_pages_.clear();
  if (outcome.Fetched) {
    grabbed_page_ = FinalPageAddress(*NetHTTP1, address);
    found = reader->Finish(grabbed_page_);
    // The pages it shows in frames, whose movies are downloaded from those pages.
    frames = reader->Frames();
    framed = ReadFramePages(*NetHTTP1, frames, std::string(),
                            [this] { return Transfer->StopRequested(); });
    for (TFramedMovie& movie : framed.Movies) {
      movie_pages_.emplace(movie.Address, movie.Page);
      found.push_back(std::move(movie.Address));
    }
  }
  FillMovieList(std::move(found), LocaleCaseInsensitiveSortKey(), LocaleCaseInsensitiveCompare(),
                *swfUrlList);
  QStringList rows;
  rows.reserve(swfUrlList->Count());
  for (int i = 0; i < swfUrlList->Count(); ++i)
    rows.append(Shown(swfUrlList->Get(i)));
  ListBox1->clear();
  ListBox1->addItems(rows);
  // The installer movies that embedding scripts name are no part of a game: said in their row.
  for (int row = 0; row < ListBox1->count(); ++row)
    if (IsPlayerInstaller(swfUrlList->Get(row)))
      ListBox1->item(row)->setData(rrState, tr("播放器安装文件"));
  // A page that never arrived is not a page without movies, and a page without movies says
  // what it did find.
  QString caption = tr("抓取失败   ");
  QString detail = Utf8(ErrorMessageOf(outcome.LastError));
  if (outcome.Fetched) {
    caption = tr("总数") + QString::number(swfUrlList->Count()) + "   ";
    if (swfUrlList->Count() == 0) {
      caption =
          frames.empty() ? tr("总数0，无框架页  ") : tr("总数0，框架页%1个  ").arg(framed.Read);
      detail = Utf8(NoMoviesText(frames.size(), framed));
    }
  }
  // Why it failed (a certificate, not a missing page) is said at once; the movie of the page
  // before no longer plays.
  if (!outcome.Fetched) {
    caption = tr("抓取失败：") + detail + QStringLiteral("  ");
    preview_->Clear();
  }
  Label1->SetCaption(caption);
  Label1->setToolTip(detail);
  if (Transfer->StopRequested()) Label1->SetCaption(tr("已停止  "));
}

bool TFrmPelmar::eventFilter(QObject* watched, QEvent* event) {
  if (watched == ListBox1 && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    RunHandler([this, key] { ListBox1KeyPress(ListBox1, *key); });
  }
  // The list's own handling of the key goes on.
  return QWidget::eventFilter(watched, event);
}

// A click or a key changes the current row and the selection one after the other; the
// preview runs once for both, after the list has settled.
void TFrmPelmar::QueueListBox1Click() {
  if (list_click_queued_) return;
  list_click_queued_ = true;
  QTimer::singleShot(0, this, [this] {
    list_click_queued_ = false;
    // A transfer lets the window handle its events; the list's rows then still change.
    if (Transfer->Busy()) {
      click_after_run_ = true;
      return;
    }
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
  // A close during a transfer arrives inside the client's wait: the transfer stops first, and
  // the window closes once it has.
  if (Transfer->Busy()) {
    close_after_run_ = true;
    Transfer->RequestStop();
    event->ignore();
    return;
  }
  // A settings file that cannot be written is reported, and the window closes anyway.
  RunHandler([this] { FormClose(); });
  event->accept();
  preview_->Close();
}
