// The main window's downloads: the selected rows, or the address shown, saved into the output
// folder (with DepsCheck on, with the files each movie loads), failures gathered and shown
// together once the run has ended.
#include <QCheckBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>

#include <filesystem>
#include <system_error>

#include "app/auto_size_label.h"
#include "app/download_failure.h"
#include "app/frm_pelmar.h"
#include "app/row_state_delegate.h"
#include "app/transfer_controls.h"
#include "app/window_text.h"
#include "base/exception.h"
#include "http/http.h"
#include "rescue/dependencies.h"
#include "rescue/download.h"
#include "rescue/error_text.h"
#include "rescue/player_installer.h"
#include "rescue/run_files.h"
#include "rescue/saved_names.h"
#include "rescue/transfer_progress.h"
#include "uri/address_encoding.h"
#include "uri/referer_policy.h"

void TFrmPelmar::DownBtnClick() {
  if (Transfer->Busy()) return;
  TTransferControls::TRun run(*Transfer);
  Label1->SetCaption(tr("正在下载  "));
  // The status must show before the first transfer, not at the first wait.
  Label1->repaint();
  const int count = ListBox1->count();
  int selected = 0;
  for (int row = 0; row < count; ++row)
    if (ListBox1->item(row) && ListBox1->item(row)->isSelected()) ++selected;
  int ordinal = 0, saved = 0, failed = 0;
  // The rows of the run wait their turn.
  for (int row = 0; row < count; ++row) {
    QListWidgetItem* item = ListBox1->item(row);
    if (!item || !item->isSelected()) continue;
    item->setData(rrSize, QString());
    item->setData(rrState, tr("等待"));
  }
  StartDependencies();
  failures_.clear();
  installers_missed_ = 0;
  for (int row = 0; row < count && !Transfer->StopRequested(); ++row) {
    const QListWidgetItem* item = ListBox1->item(row);
    if (!item || !item->isSelected()) continue;
    ++ordinal;
    swfUrlPathTxt->setText(item->text());
    Label1->SetCaption(tr("正在下载 %1/%2  ").arg(ordinal).arg(selected) +
                       Utf8(SavedFileName(RequestAddress(item->text()))));
    run.StartItem();
    const TShownDownload outcome = DownloadShownAddress();
    if (outcome == TShownDownload::sdSaved) ++saved;
    if (outcome == TShownDownload::sdFailed) ++failed;
  }
  // A run in which files failed did not succeed.
  if (Transfer->StopRequested())
    Label1->SetCaption(tr("已停止  "));
  else if (failed == 0)
    Label1->SetCaption(tr("下载成功  "));
  else
    Label1->SetCaption(tr("下载结束：成功 %1，失败 %2  ").arg(saved).arg(failed));
  Label1->SetCaption(Label1->Caption() + InstallerNote() + EndDependencies());
  ReportFailures();
}

void TFrmPelmar::ListBox1KeyPress(QObject*, const QKeyEvent& Key) {
  // Ctrl+D types the character of code 4; a platform may report it either way.
  const bool ctrlD = Key.text() == QStringLiteral("\x04") ||
                     (Key.key() == Qt::Key_D && (Key.modifiers() & Qt::ControlModifier));
  if (!ctrlD) return;
  const bool controlDown = (Key.modifiers() & Qt::ControlModifier) ||
                           (QGuiApplication::queryKeyboardModifiers() & Qt::ControlModifier);
  if (!controlDown || Transfer->Busy()) return;
  TTransferControls::TRun run(*Transfer);
  run.StartItem();
  StartDependencies();
  failures_.clear();
  installers_missed_ = 0;
  DownloadShownAddress();
  const QString dependencies = InstallerNote() + EndDependencies();
  if (Transfer->StopRequested())
    Label1->SetCaption(tr("已停止  ") + dependencies);
  else if (!dependencies.isEmpty())
    Label1->SetCaption(dependencies);
  ReportFailures();
}

void TFrmPelmar::StartDependencies() {
  dependencies_.reset();
  // With the files they load, games are saved as on their sites, so that two never share a
  // place; alone, each movie goes into the folder under its name.
  run_files_ = std::make_unique<TRunFiles>(
      outPath.Text(), DepsCheck->isChecked() ? TSaveLayout::slSite : TSaveLayout::slFlat);
  if (!DepsCheck->isChecked()) return;
  dependencies_ = std::make_unique<TDependencyWalk>(*UdownFileHttp, *run_files_);
  dependencies_->Stopped = [this] { return Transfer->StopRequested(); };
  // What became of each dependent file, for its movie's row.
  dependencies_->OnSaved = [this](const std::string& path, const std::string&) {
    row_details_.append(tr("已保存 %1").arg(Local(path)));
  };
  dependencies_->OnMissing = [this](const std::string& address, const std::string& reason) {
    row_details_.append(tr("缺失 %1：%2").arg(Utf8(DisplayedAddress(address)), Utf8(reason)));
  };
}

QString TFrmPelmar::EndDependencies() {
  QString counts;
  if (dependencies_)
    counts = tr("依赖文件 %1 个，缺失 %2 个  ")
                 .arg(dependencies_->Saved())
                 .arg(dependencies_->Missing());
  dependencies_.reset();
  run_files_.reset();
  return counts;
}

TFrmPelmar::TShownDownload TFrmPelmar::DownloadShownAddress() {
  const std::string address = RequestAddress(swfUrlPathTxt->text());
  if (address.empty()) return TShownDownload::sdSkipped;
  // The row of the address, when the list has one, says how the download goes.
  const auto rows = ListBox1->findItems(swfUrlPathTxt->text(), Qt::MatchExactly);
  progress_row_ = rows.isEmpty() ? nullptr : rows[0];
  SetRowState(QString(), tr("下载中"));
  std::string path;
  try {
    CheckedDestinationPath(outPath.Text(), address);
    // Within a run no file takes the place of another: a second "game.swf" is "game (2).swf".
    path = run_files_->Claim(address, run_files_->MoviePlace(address)).Path;
  } catch (const Exception&) {
    const TShownDownload failed = Failed(address, std::current_exception());
    progress_row_ = nullptr;
    return failed;
  }
  if (!DownloadFile(address, path)) {
    run_files_->Release(address);
    if (Transfer->StopRequested()) SetRowState(QString(), tr("已停止"));
    progress_row_ = nullptr;
    return IsPlayerInstaller(address) ? TShownDownload::sdNoted : TShownDownload::sdFailed;
  }
  std::error_code error;
  const auto size = std::filesystem::file_size(std::filesystem::path(path), error);
  const QString sizeText = error ? QString() : Local(ByteCountText(static_cast<int64_t>(size)));
  SetRowState(sizeText, tr("已保存"));
  // A dependency that cannot be had is counted and shown in the row, not in a box.
  if (dependencies_) {
    row_details_.clear();
    const int missingBefore = dependencies_->Missing();
    dependencies_->SaveDependencies(address, path);
    const int missing = dependencies_->Missing() - missingBefore;
    if (missing > 0) SetRowState(sizeText, tr("已保存，缺失依赖 %1").arg(missing));
    if (progress_row_) progress_row_->setToolTip(row_details_.join(QLatin1Char('\n')));
  }
  progress_row_ = nullptr;
  return TShownDownload::sdSaved;
}

void TFrmPelmar::SetRowState(const QString& size, const QString& state) {
  if (!progress_row_) return;
  progress_row_->setData(rrSize, size);
  progress_row_->setData(rrState, state);
}

std::string TFrmPelmar::UrlFileName(const std::string& address) const {
  return ::UrlFileName(address);
}

bool TFrmPelmar::DownloadFile(const std::string& address, const std::string& path) {
  try {
    // Hosts of movies often refuse requests that do not come from their page.
    UdownFileHttp->Request.Referer = RefererFor(PageOf(address), address);
    ::DownloadFile(*UdownFileHttp, address, path);
    return true;
  } catch (...) {
    // A stop the user asked for needs no box; the connection it cut goes too.
    if (Transfer->StopRequested()) {
      try {
        UdownFileHttp->CloseConnection();
      } catch (...) {
        // Closing what the stop cut short has nothing left to report.
      }
      return false;
    }
    Failed(address, std::current_exception());
    return false;
  }
}

TFrmPelmar::TShownDownload TFrmPelmar::Failed(const std::string& address,
                                              const std::exception_ptr& error) {
  // An installer movie that is gone is what one expects: a note, not a failure.
  if (IsPlayerInstaller(address)) {
    ++installers_missed_;
    SetRowState(QString(), tr("播放器安装文件，未保存"));
    return TShownDownload::sdNoted;
  }
  failures_.push_back({address, ErrorMessageOf(error)});
  SetRowState(QString(), tr("失败：") + Utf8(failures_.back().Reason));
  return TShownDownload::sdFailed;
}

QString TFrmPelmar::InstallerNote() const {
  if (installers_missed_ == 0) return QString();
  return tr("（播放器安装文件 %1 个未保存，无需保存）  ").arg(installers_missed_);
}

void TFrmPelmar::ReportFailures() {
  if (failures_.empty()) return;
  std::vector<TDownloadFailure> failures;
  for (const auto& [address, reason] : failures_)
    failures.push_back({Utf8(DisplayedAddress(address)), Utf8(reason)});
  failures_.clear();
  ShowDownloadFailures(failures);
}
