#include "gui/qt_ui.h"

#include <QDir>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <QSpacerItem>

#include "files/files.h"
#include "gui/pane_text.h"

namespace kestrel {

namespace {

// Room in a title bar besides the title: the window manager's icon, buttons and margins.
constexpr int kTitleBarControls = 160;

QScreen* screen_of(const QWidget* parent) {
  return parent ? parent->screen() : QGuiApplication::primaryScreen();
}

// A box sizes itself to its text; a window manager then cuts a longer title at its end. The box is
// made wide enough for the whole title, and a title too long for the screen loses its middle, so
// that both the number and the file name of an include path stay readable.
void fit_title(QMessageBox& box, const QString& title, const QScreen* screen) {
  const QFontMetrics metrics(box.font());
  const int widest = screen ? screen->availableGeometry().width() - kTitleBarControls : 0;
  const QString shown = widest > 0 ? metrics.elidedText(title, Qt::ElideMiddle, widest) : title;
  box.setWindowTitle(shown);
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  if (!grid) return;
  const int width = metrics.horizontalAdvance(shown) + kTitleBarControls;
  grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                grid->rowCount(), 0, 1, grid->columnCount());
}

void show_box(QWidget* parent, QMessageBox::Icon icon, const QString& title,
              const std::string& text) {
  QMessageBox box(icon, QString(), to_qstring(text), QMessageBox::Ok, parent);
  // Messages quote source lines, which may look like markup.
  box.setTextFormat(Qt::PlainText);
  fit_title(box, title, screen_of(parent));
  box.exec();
}

QString qt_patterns(const QString& patterns) {
  QStringList result;
  for (const QString& pattern : patterns.split(u';', Qt::SkipEmptyParts)) {
    const QString trimmed = pattern.trimmed();
    result += trimmed == u"*.*" ? QStringLiteral("*") : trimmed;
  }
  return result.join(u' ');
}

}  // namespace

QString qt_name_filter(const std::string& filter) {
  const QString text = to_qstring(filter);
  const qsizetype bar = text.indexOf(u'|');
  const QString description = bar < 0 ? text : text.left(bar);
  const QString patterns = bar < 0 ? QStringLiteral("*") : qt_patterns(text.mid(bar + 1));
  // The dialog reads its patterns from the last parentheses and, with the filter details hidden,
  // shows only what stands before them: the description as given.
  return description + QStringLiteral(" (") + patterns + u')';
}

void QtUi::message(const std::string& text) {
  show_box(visible_parent(), QMessageBox::NoIcon, QString::fromLatin1(kProgramTitle), text);
}

void QtUi::failure(const std::string& title, const std::string& description,
                   const std::filesystem::path& file) {
  QString shown = to_qstring(title);
  if (!file.empty()) shown += QStringLiteral("  ") + QString::fromStdString(utf8_path(file));
  show_box(visible_parent(), QMessageBox::Critical, shown, description);
}

Ui::Answer QtUi::ask(const std::string& text_utf8, bool can_cancel) {
  QMessageBox box(QMessageBox::Question, QString::fromLatin1(kProgramTitle),
                  QString::fromStdString(text_utf8),
                  can_cancel ? QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel
                             : QMessageBox::Yes | QMessageBox::No,
                  visible_parent());
  box.setTextFormat(Qt::PlainText);
  box.setEscapeButton(can_cancel ? QMessageBox::Cancel : QMessageBox::No);
  switch (box.exec()) {
    case QMessageBox::Yes:
      return Answer::yes;
    case QMessageBox::No:
      return Answer::no;
    default:
      return can_cancel ? Answer::cancel : Answer::no;
  }
}

std::string QtUi::open_dialog(const std::string& filter) {
  return run_dialog(filter, QFileDialog::AcceptOpen);
}

std::string QtUi::save_dialog(const std::string& filter) {
  return run_dialog(filter, QFileDialog::AcceptSave);
}

QWidget* QtUi::visible_parent() const {
  return parent_ && parent_->isVisible() ? parent_.data() : nullptr;
}

std::string QtUi::run_dialog(const std::string& filter, QFileDialog::AcceptMode mode) {
  QFileDialog dialog(visible_parent());
  // Qt's own dialog on every system, so that the filter rules above hold everywhere.
  dialog.setOptions(QFileDialog::DontUseNativeDialog | QFileDialog::HideNameFilterDetails);
  dialog.setFilter(QDir::AllEntries | QDir::AllDirs | QDir::NoDotAndDotDot);
  dialog.setAcceptMode(mode);
  dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                     : QFileDialog::AnyFile);
  dialog.setNameFilter(qt_name_filter(filter));
  // Until a name has been chosen the dialog starts in the current directory, never in a folder
  // that another dialog of the process visited.
  if (last_chosen_.isEmpty())
    dialog.setDirectory(QDir::currentPath());
  else
    dialog.selectFile(last_chosen_);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
  last_chosen_ = dialog.selectedFiles().first();
  return QDir::toNativeSeparators(last_chosen_).toStdString();
}

}  // namespace kestrel
