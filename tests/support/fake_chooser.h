#pragma once
// A file chooser that answers with preset paths and remembers what it was asked.
#include <QStringList>

#include "common/file_chooser.h"

namespace velmo::testing {

struct FakeChooser : FileChooser {
  QString save_answer, open_answer;
  QStringList proposed;
  int opened = 0;
  QString save_file(QWidget*, const QString& name, const QString&) override {
    proposed << name;
    return save_answer;
  }
  QString open_file(QWidget*, const QString&) override {
    ++opened;
    return open_answer;
  }
};

}  // namespace velmo::testing
