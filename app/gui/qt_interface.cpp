#include "app/gui/qt_interface.h"

#include <QApplication>
#include <QMessageBox>
#include <QScreen>

#include "app/gui/log_viewer.h"
#include "app/gui/qt_text.h"

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QString Caption(const std::string& caption) {
  return caption.empty() ? QString::fromLatin1(kDefaultCaption) : ToQt(caption);
}

// Texts hold file names, source lines and bytes from the programmer: shown as they are,
// never interpreted as markup.
void SetPlainText(QMessageBox& box, const std::string& text) {
  box.setTextFormat(Qt::PlainText);
  box.setText(ToQt(text));
}

}  // namespace

CQtInterface::CQtInterface() { previous = InstallUserInterface(this); }

CQtInterface::~CQtInterface() {
  CloseStatusWindow();
  InstallUserInterface(previous);
}

void CQtInterface::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
  QMessageBox box(BoxIcon(icon), Caption(caption), QString(), QMessageBox::Ok, owner.data());
  SetPlainText(box, text);
  box.exec();
}

bool CQtInterface::AskOkCancel(const std::string& text, const std::string& caption) {
  QMessageBox box(QMessageBox::NoIcon, Caption(caption), QString(), QMessageBox::Ok | QMessageBox::Cancel,
                  owner.data());
  SetPlainText(box, text);
  box.setDefaultButton(QMessageBox::Ok);
  box.setEscapeButton(QMessageBox::Cancel);
  return box.exec() == QMessageBox::Ok;
}

void CQtInterface::OpenStatusWindow() {
  CloseStatusWindow();
  status = new CStatusWindow(owner.data());
  if (owner) {
    QRect frame = status->frameGeometry();
    frame.moveCenter(owner->frameGeometry().center());
    status->move(frame.topLeft());
  }
  status->show();
  status->raise();
}

void CQtInterface::SetStatusText(StatusField field, const std::string& text) {
  if (status) status->SetText(field, ToQt(text));
}

void CQtInterface::SetProgressRange(int lower, int upper) {
  if (status) status->SetRange(lower, upper);
}

void CQtInterface::SetProgressPosition(int position) {
  if (status) status->SetPosition(position);
}

void CQtInterface::CloseStatusWindow() {
  // The owner may have taken the window with it already; the pointer then reads null.
  delete status.data();
  status = nullptr;
}

void CQtInterface::PumpMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void CQtInterface::ViewLog(const std::string& path) {
  CLogViewer viewer(path, owner.data());
  viewer.exec();
}
