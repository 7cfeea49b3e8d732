// The main window: every control of the tool at its fixed place, the found addresses and the
// remembered output folder. Each handler runs inside the standard error report.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/string_list.h"
#include "rescue/short_string.h"

class QCheckBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QProgressBar;
class QPushButton;
class TAutoSizeLabel;
class TDependencyWalk;
class TNetAntiFreeze;
class TMoviePreview;
class TNetHTTP;
class TWebClient;
class TRunFiles;
class TTransferControls;
class TURLLabel;
class TWebBrowser;

// Shows the folder browser titled `title` over `owner`, folders only, nothing preselected.
// True and the chosen folder in `path` when the user confirms one; false and the empty text
// otherwise.
bool SelectSaveDir(const QString& title, QWidget* owner, QString& path);
// Replaces the folder browser (tests); receives the same arguments.
using TSelectSaveDirHook = std::function<bool(const QString& title, QWidget* owner, QString& path)>;
void SetSelectSaveDirHook(TSelectSaveDirHook hook);

// The settings file of this program: beside the executable when its folder is writable,
// otherwise in the user's configuration folder.
std::string DefaultSettingFileName();

class TFrmPelmar : public QWidget {
  Q_OBJECT

 public:
  // Outer size and place of the window on the screen.
  static constexpr int kLeft = 425;
  static constexpr int kTop = 205;
  static constexpr int kWidth = 781;
  static constexpr int kHeight = 506;
  // Bytes the download client takes per receive.
  static constexpr int kDownloadReceiveSize = 131072;

  // Whether windows made from now on start the preview's browser while they are made (the
  // program does; tests that cannot run the browser engine do not). Off at first.
  static void SetBrowserAtStart(bool atStart);

  // Creates the controls, then runs FormCreate, which reads `settingFileName`.
  explicit TFrmPelmar(std::string settingFileName = DefaultSettingFileName(),
                      QWidget* parent = nullptr);
  ~TFrmPelmar() override;

  QPushButton* stratBtn = nullptr;
  // Lets the window handle its events during the clients' blocking waits; made before them.
  std::unique_ptr<TNetAntiFreeze> AntiFreeze1;
  // The window's three clients, each with its own TLS handler; they share nothing.
  std::unique_ptr<TWebClient> PageClient;
  std::unique_ptr<TWebClient> DownloadClient;
  std::unique_ptr<TWebClient> PreviewClient;
  // Page fetches only: PageClient's.
  TNetHTTP* NetHTTP1 = nullptr;
  QListWidget* ListBox1 = nullptr;
  TWebBrowser* WebBrowser1 = nullptr;
  QLineEdit* sourceUrl = nullptr;
  TAutoSizeLabel* Label1 = nullptr;
  // Under the controls: the whole status, whenever Label1 has not the room to show it.
  QLabel* StatusLine = nullptr;
  QLineEdit* swfUrlPathTxt = nullptr;
  TURLLabel* URLLabel1 = nullptr;
  QPushButton* DownBtn = nullptr;
  // Downloads only: DownloadClient's.
  TNetHTTP* UdownFileHttp = nullptr;
  // The movies of the preview, with the download client's settings; used on the preview's
  // fetch thread while a fetch runs. PreviewClient's.
  TNetHTTP* PreviewHttp = nullptr;
  QLineEdit* outPathTxt = nullptr;
  QPushButton* SelOutPath = nullptr;
  QPushButton* openPath = nullptr;
  // "连同依赖文件": downloads also save the files each movie loads at run time. Off at start.
  QCheckBox* DepsCheck = nullptr;
  // Stops the running grab or download; enabled only while one runs.
  QPushButton* StopBtn = nullptr;
  // How far the current file (or page) has come.
  QProgressBar* ProgressBar1 = nullptr;
  // The stop button, the bar and the guard against a second transfer; goes before the clients.
  std::unique_ptr<TTransferControls> Transfer;

  // The remembered output folder; "setting.dat" holds its image.
  TShortString outPath;

  void FormCreate();
  void FormShow();
  void FormClose();
  void ListBox1Click();
  // A row opened (a double click, Enter): what became of it, its dependent files one by one,
  // in a box of its own that stays while the window is used. Nothing for a row not downloaded.
  void ShowRowDetails(const QListWidgetItem& row);
  // The box of ShowRowDetails while it shows, or nullptr.
  QMessageBox* RowDetails() const { return row_details_box_.data(); }
  void SelOutPathClick();
  void openPathClick();

  // Fetches the page of sourceUrl and lists its movies with their count.
  void stratBtnClick();
  // Saves every selected row into outPath.
  void DownBtnClick();
  // A key typed in the list: Ctrl+D (character code 4 with Control down) saves the address
  // that swfUrlPathTxt shows.
  void ListBox1KeyPress(QObject* Sender, const QKeyEvent& Key);

  // The text after the last "/" of the address.
  std::string UrlFileName(const std::string& address) const;
  // Saves the body of `address` into `path` with UdownFileHttp. A failure is kept with its
  // reason for the box at the end of the run; nothing escapes.
  // True when the file was saved.
  bool DownloadFile(const std::string& address, const std::string& path);

  // Mode 1 reads the settings file into outPath, mode 0 writes outPath to it; other modes do
  // nothing.
  void SettingFileIO(int mode);
  const std::string& SettingFileName() const { return setting_file_name_; }

  // The addresses of the last grab; exists from FormCreate to FormClose.
  TStringList* SwfUrlList() const { return swfUrlList.get(); }
  TMoviePreview* Preview() const { return preview_.get(); }

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void moveEvent(QMoveEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool focusNextPrevChild(bool next) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  // The controls that Tab visits, in order.
  std::vector<QWidget*> TabStops() const;
  void SetTabOrder();
  void FitOuterSize();
  // The controls at their starting places, as the window is when made; LayOut then moves and
  // stretches them as the window grows beyond that size.
  void KeepStartLayout();
  void LayOut();
  void QueueListBox1Click();
  // Saves the address swfUrlPathTxt shows, unless it is blank; an address that would leave
  // the output folder, or no output folder at all, fails like a transfer.
  // sdNoted: an installer movie that could not be had, which is no failure.
  enum class TShownDownload { sdSkipped, sdSaved, sdFailed, sdNoted };
  TShownDownload DownloadShownAddress();
  // Keeps the failure of `address` for the run's box (or counts an installer's).
  TShownDownload Failed(const std::string& address, const std::exception_ptr& error);
  // For the status: how many installer movies were not saved, when any.
  QString InstallerNote() const;
  // One box for the run's failures, each address with its reason; none without failures.
  void ReportFailures();
  // Sets the size and the state of the row being downloaded, when there is one.
  void SetRowState(const QString& size, const QString& state);

  // The files of the download run under way (and with DepsCheck on, its dependency saving).
  void StartDependencies();
  // The counts of the run's dependent files for the status, and the end of the run's walk.
  QString EndDependencies();

  // The address a row (or the address field) shows, as its request carries it.
  std::string RequestAddress(const QString& shown) const;
  // The page `address` was found on: a frame's page, or the grabbed page.
  const std::string& PageOf(const std::string& address) const;

  std::unique_ptr<TStringList> swfUrlList;
  // The files of the download run under way, and with DepsCheck on its dependency saving.
  std::unique_ptr<TRunFiles> run_files_;
  std::unique_ptr<TDependencyWalk> dependencies_;
  // The failures of the run under way, each address with its reason, and the installer
  // movies that could not be had.
  struct TFailure {
    std::string Address;
    std::string Reason;
  };
  std::vector<TFailure> failures_;
  int installers_missed_ = 0;
  // The row of the file being downloaded (nullptr: none), and what became of its dependent
  // files.
  QListWidgetItem* progress_row_ = nullptr;
  QStringList row_details_;
  QPointer<QMessageBox> row_details_box_;
  // The movies found in frames, with the frame's page (the others come from grabbed_page_).
  std::unordered_map<std::string, std::string> movie_pages_;
  // The address of the page the last grab read (empty when it failed): the Referer of downloads
  // and previews.
  std::string grabbed_page_;
  // Declared after PreviewHttp: it stops its fetch before the client goes.
  std::unique_ptr<TMoviePreview> preview_;
  std::string setting_file_name_;
  bool outer_size_fitted_ = false;
  // The window's size and each control's place when the window was made.
  QSize start_size_;
  std::vector<std::pair<QWidget*, QRect>> start_places_;
  bool list_click_queued_ = false;
  // A close asked for during a transfer: it happens once the transfer has stopped.
  bool close_after_run_ = false;
  // A row change that came during a transfer: handled once the transfer has ended.
  bool click_after_run_ = false;
};
