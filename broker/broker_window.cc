#include "broker/broker_window.h"

namespace tqs::broker {

void TextBox::SetText(std::string text) {
  text_ = std::move(text);
  if (listener_) listener_(TextChange::kReplaced, text_);
}

void TextBox::Append(std::string_view text) {
  text_ += text;
  if (listener_) listener_(TextChange::kAppended, text);
}

namespace {

void Close(frmTQSRemoteBroker& window, Lifecycle lifecycle) {
  // The pending set goes before the connection it was opened on.
  window.m_oInteractions.reset();
  window.m_oBusinessDocument.reset();
  window.m_oConnection.reset();
  window.visible = false;
  window.lifecycle = lifecycle;
}

}  // namespace

void frmTQSRemoteBroker::Unload() { Close(*this, Lifecycle::kUnloaded); }

void frmTQSRemoteBroker::End() { Close(*this, Lifecycle::kEnded); }

}  // namespace tqs::broker
