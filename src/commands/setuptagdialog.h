#pragma once

#include "link/sendtoreader.h"

#include <QDialog>

class QGroupBox;
class QPushButton;

namespace zanto {

// "Read/Write Setup Tag": makes the reader read a setup tag ("M") or write its
// active configuration to one ("K"). Sends and forgets; the answer shows in the
// main window's grid like any other.
class SetupTagDialog : public QDialog
{
    Q_OBJECT
public:
    explicit SetupTagDialog(SendFunction send, QWidget *parent = nullptr);

    void Command11_Click();
    void Command5_Click();

    QGroupBox *frame4;
    QPushButton *Command5;
    QPushButton *Command11;

protected:
    void closeEvent(QCloseEvent *event) override;
    void reject() override { close(); }

private:
    SendFunction m_send;
};

} // namespace zanto
