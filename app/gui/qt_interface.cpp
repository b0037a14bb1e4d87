#include "app/gui/qt_interface.h"

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>

#include <type_traits>
#include <utility>

#include "app/gui/log_viewer.h"
#include "app/gui/qt_text.h"
#include "app/gui/screen_fit.h"

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

// A message box that keeps each line of its text on one line whenever the screen has room:
// Qt wraps anything wider than half the screen, which breaks the memory map's columns on a
// small or scaled screen.
class CMessageBox : public QMessageBox {
 public:
  using QMessageBox::QMessageBox;

 protected:
  // Qt sizes the box (and wraps the label) at its showing and at every layout request.
  bool event(QEvent* event) override {
    const bool handled = QMessageBox::event(event);
    if (event->type() == QEvent::Show || event->type() == QEvent::LayoutRequest) KeepLinesWhole();
    return handled;
  }

 private:
  void KeepLinesWhole() {
    auto* label = findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    if (!isVisible() || !label || !label->wordWrap() || !layout()) return;
    label->setWordWrap(false);
    layout()->activate();
    const QSize wanted = layout()->totalMinimumSize();
    if (wanted.width() > AvailableRoom(this).width()) {
      label->setWordWrap(true);  // the lines cannot fit: Qt wraps them as before
    } else {
      setFixedSize(wanted);
      FitOnScreen(this);
    }
    QCoreApplication::removePostedEvents(this, QEvent::LayoutRequest);
  }
};

// Texts hold file names, source lines and bytes from the programmer: shown as they are,
// never interpreted as markup.
void SetPlainText(QMessageBox& box, const std::string& text) {
  box.setTextFormat(Qt::PlainText);
  box.setText(ToQt(text));
}

// Runs call on the window thread and returns its result; commands call the interface from a
// worker thread, and Qt's windows may only be touched from the thread that made them.
template <typename Call>
auto OnWindowThread(Call call) -> decltype(call()) {
  if (QThread::currentThread() == QCoreApplication::instance()->thread()) return call();
  if constexpr (std::is_void_v<decltype(call())>) {
    QMetaObject::invokeMethod(QCoreApplication::instance(), call, Qt::BlockingQueuedConnection);
  } else {
    decltype(call()) result{};
    QMetaObject::invokeMethod(
        QCoreApplication::instance(), [&] { result = call(); }, Qt::BlockingQueuedConnection);
    return result;
  }
}

}  // namespace

CQtInterface::CQtInterface() { previous = InstallUserInterface(this); }

CQtInterface::~CQtInterface() {
  delete status.data();
  DropFinished();
  InstallUserInterface(previous);
}

void CQtInterface::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) {
  OnWindowThread([&] {
    // One transfer, one box: what the port says while the transfer runs joins its own message.
    if (status) {
      held.push_back(text);
      return;
    }
    DropFinished();  // the box says how the transfer ended
    CMessageBox box(BoxIcon(icon), Caption(caption), QString(), QMessageBox::Ok, owner.data());
    SetPlainText(box, WithHeld(text));
    box.exec();
  });
}

bool CQtInterface::AskOkCancel(const std::string& text, const std::string& caption) {
  return OnWindowThread([&] {
    CMessageBox box(QMessageBox::NoIcon, Caption(caption), QString(), QMessageBox::Ok | QMessageBox::Cancel,
                    owner.data());
    SetPlainText(box, text);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
  });
}

void CQtInterface::OpenStatusWindow() {
  OnWindowThread([&] {
    // A transfer that announced itself before connecting keeps its window: the download
    // only fills in the programmer's identity.
    if (status) return;
    DropFinished();
    clock.start();
    status = new CStatusWindow(owner.data());
    QObject::connect(status.data(), &CStatusWindow::stopRequested, status.data(), [this] { Stop(); });
    if (owner) {
      QRect frame = status->frameGeometry();
      frame.moveCenter(owner->frameGeometry().center());
      status->move(frame.topLeft());
    }
    status->show();
    status->raise();
  });
}

void CQtInterface::SetStatusText(StatusField field, const std::string& text) {
  OnWindowThread([&] {
    if (status) status->SetText(field, ToQt(text));
  });
}

void CQtInterface::SetProgressRange(int lower, int upper) {
  OnWindowThread([&] {
    if (status) status->SetRange(lower, upper);
  });
}

void CQtInterface::SetProgressPosition(int position) {
  OnWindowThread([&] {
    if (status) status->SetPosition(position);
  });
}

void CQtInterface::CloseStatusWindow() {
  OnWindowThread([&] {
    if (!status) return;
    seconds = clock.isValid() ? clock.elapsed() / 1000.0 : 0;
    // Kept until the command has ended, so that a good transfer can say it is done.
    DropFinished();
    finished = status;
    status = nullptr;
    finished->Finish();
  });
}

void CQtInterface::EndTransfer(const std::string& doneText) {
  OnWindowThread([&] {
    delete status.data();
    status = nullptr;
    if (!held.empty()) {
      // Nothing said them yet: a transfer that went well despite them still shows them.
      DropFinished();
      CMessageBox box(QMessageBox::Information, Caption(std::string()), QString(), QMessageBox::Ok, owner.data());
      SetPlainText(box, WithHeld(std::string()));
      box.exec();
    }
    if (!finished) return;
    if (doneText.empty()) return DropFinished();
    finished->SetText(StatusField::StatusLine, ToQt(doneText));
    finished->SetPosition(finished->Progress()->maximum());
    QTimer::singleShot(kDoneShownMs, finished.data(), &QObject::deleteLater);
  });
}

std::string CQtInterface::WithHeld(std::string text) {
  for (const std::string& note : std::exchange(held, {}))
    if (text.find(note) == std::string::npos) text += (text.empty() ? "" : "\n\n") + note;
  return text;
}

void CQtInterface::DropFinished() {
  delete finished.data();
  finished = nullptr;
}

void CQtInterface::Stop() {
  if (status) status->SetText(StatusField::StatusLine, QStringLiteral("Stopping..."));
  if (onStop) onStop();
}

// A command on a worker thread needs no pumping: the window thread serves the windows all the
// time. Only a transfer run on the window thread itself has to let them in.
void CQtInterface::PumpMessages() {
  if (QThread::currentThread() == QCoreApplication::instance()->thread())
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void CQtInterface::ViewLog(const std::string& path) {
  OnWindowThread([&] {
    CLogViewer viewer(path, owner.data());
    viewer.exec();
  });
}
