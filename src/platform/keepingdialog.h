#pragma once

#include <QDialog>

namespace zanto {

// A modeless dialog that writes what it keeps to a file when it closes. A save
// that fails is said on the dialog before it goes: the first close stays open
// with the message, a second one closes without saving. Escape closes it like
// the close box, so the save is never skipped.
class KeepingDialog : public QDialog
{
    Q_OBJECT
public:
    explicit KeepingDialog(QWidget *parent = nullptr);

protected:
    // Writes what the dialog keeps; the problem, empty on success.
    virtual QString saveOnClose() = 0;
    // Shows a one-line message on the dialog.
    virtual void showCloseProblem(const QString &text) = 0;

    void closeEvent(QCloseEvent *event) override;
    void reject() override { close(); }

private:
    bool m_warnedOnClose = false;
};

} // namespace zanto
