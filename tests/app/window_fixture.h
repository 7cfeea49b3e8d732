// A main window created over a settings file in a fresh folder, with the captures reset.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <memory>
#include <string>

#include "app/frm_pelmar.h"
#include "tests/app/support/qt_test_main.h"
#include "tests/support/temp_dir.h"

// The window's texts are written in the sources as UTF-8.
inline QString U(const char* utf8) {
  return QString::fromUtf8(utf8);
}

class WindowTest : public testing::Test {
 protected:
  void SetUp() override { ResetCaptures(); }
  void TearDown() override {
    window_.reset();
    SetSelectSaveDirHook([](const QString&, QWidget*, QString&) {
      ADD_FAILURE() << "folder browser opened without a test hook";
      return false;
    });
    ResetCaptures();
  }
  std::string SettingName() const { return dir_.Path() + "/setting.dat"; }
  TFrmPelmar& Open() {
    window_ = std::make_unique<TFrmPelmar>(SettingName());
    return *window_;
  }
  TFrmPelmar& Shown() {
    Open().show();
    QApplication::processEvents();
    return *window_;
  }

  TempDir dir_;
  std::unique_ptr<TFrmPelmar> window_;
};
