#include "app/gui/log_viewer.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cerrno>
#include <cstdio>
#include <memory>

#include "app/gui/qt_text.h"
#include "app/gui/screen_fit.h"
#include "platform/format.h"
#include "platform/system_error.h"

QString LogText(const std::string& path) {
  std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return ToQt(Format("Cannot read %s: %s", path.c_str(), SystemErrorText(errno).c_str()));
  std::string bytes;
  char chunk[65536];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) bytes.append(chunk, got);
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i)
    if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) text += bytes[i];
  return ToQt(text);
}

CLogViewer::CLogViewer(const std::string& path, QWidget* owner) : QDialog(owner) {
  setObjectName(QStringLiteral("LogViewer"));
  setWindowTitle(ToQt(Format("Error log - %s", path.c_str())));
  view = new QPlainTextEdit(this);
  view->setReadOnly(true);
  view->setLineWrapMode(QPlainTextEdit::NoWrap);
  view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  view->setPlainText(LogText(path));

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(view);
  layout->addWidget(buttons);

  const QFontMetrics metrics(view->font());
  resize(metrics.horizontalAdvance(QLatin1Char('M')) * 90, metrics.height() * 28);
  // A long log scrolls: the window itself, with its Close button, stays on the screen.
  FitOnScreen(this);
}

QString CLogViewer::Text() const { return view->toPlainText(); }
