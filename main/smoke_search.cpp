#include "main/smoke_search.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTextStream>

#include "common/form_access.h"
#include "main/main_window.h"
#include "main/velmo_app.h"

namespace velmo {

namespace {
QString items_of(QWidget* form, const char* combo) {
  QStringList items;
  auto* box = control<QComboBox>(form, combo);
  for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
  return items.join(' ');
}
}  // namespace

int smoke_search(VelmoApp& app, const QString& port) {
  QWidget* main = app.form("TForm1");
  app.main_window().choose_port(port);
  control<QPushButton>(main, "Button4")->click();

  QTextStream out(stdout);
  out << "panel: " << control<QLabel>(main, "Panel1")->text() << '\n'
      << "nodes: " << items_of(main, "ComboBox5") << '\n'
      << "servo: " << items_of(app.form("TForm4"), "ComboBox4") << '\n'
      << "inverter: " << items_of(app.form("TForm9"), "ComboBox1") << '\n'
      << "speed controller: " << items_of(app.form("TForm19"), "ComboBox1") << '\n'
      << "connected: " << app.link().st.connected << '\n';
  out.flush();
  return app.link().st.connected == 1 ? 0 : 1;
}

}  // namespace velmo
