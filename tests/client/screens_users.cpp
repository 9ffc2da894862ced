// The user management dialogs, on a store with two ordinary users.
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>

#include "model/user_dialogs.h"
#include "model/users.h"
#include "screens_util.h"
#include "tavimor_app.h"
#include "ui/user_page.h"

namespace screens {
namespace {

void check(QWidget& w, const char* name) {
  if (auto* box = w.findChild<QCheckBox*>(QString::fromLatin1(name))) box->setChecked(true);
}

void type(QWidget& w, const char* name, const QString& text) {
  if (auto* edit = w.findChild<QLineEdit*>(QString::fromLatin1(name))) edit->setText(text);
}

}  // namespace

int users(const Context& c) {
  model::ClientState& state = c.app.State();
  const model::UserFiles files(state.working_folder);
  if (!files.has_admin()) files.write_admin({u"admin", u"admin123"});
  files.write_user({demo_user(), u"1234", u"13900001111", model::kBasicRights | 0x8 | 0x800});
  files.write_user({u"operator2", u"abcd", u"", model::kBasicRights | 0x10000000 | 0x4000000});
  model::UserDialogs controller(files, state.user, c.sink);
  int failures = 0;

  {
    ui::CAddUserDlg add(controller);
    type(add, "name", ui::english() ? QStringLiteral("li.na") : QStringLiteral("李娜"));
    type(add, "password", QStringLiteral("5678"));
    type(add, "confirm", QStringLiteral("5678"));
    type(add, "contact", QStringLiteral("13700002222"));
    for (const char* right : {"right3", "right4", "right11", "right28"}) check(add, right);
    add.show();
    failures += !save(add, c.out, "add-user.png");
  }
  {
    ui::CChgUserPswDlg edit(controller, files.user_names());
    if (auto* list = edit.findChild<QListWidget*>(QStringLiteral("users"))) {
      const auto found = list->findItems(QString::fromStdU16String(demo_user()), Qt::MatchExactly);
      if (!found.isEmpty()) found.front()->setSelected(true);
    }
    edit.show();
    failures += !save(edit, c.out, "edit-rights.png");
  }
  {
    ui::CAdminPswDlg admin(controller);
    type(admin, "password", QStringLiteral("admin"));
    admin.show();
    failures += !save(admin, c.out, "admin-password.png");
  }
  {
    ui::CPswChangeDlg change(controller);
    type(change, "oldPassword", QStringLiteral("admin"));
    change.show();
    failures += !save(change, c.out, "password-change.png");
  }
  return failures;
}

}  // namespace screens
