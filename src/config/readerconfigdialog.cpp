// placeholder until the dialog lands
#include "config/readerconfigdialog.h"
namespace zanto {
ReaderConfigDialog::ReaderConfigDialog(SendFunction send, QWidget *parent) : QDialog(parent), m_send(std::move(send)) {}
ReaderConfigDialog::~ReaderConfigDialog() = default;
void ReaderConfigDialog::applyReply(const DecodedConfig &) {}
void ReaderConfigDialog::closeEvent(QCloseEvent *) {}
}
