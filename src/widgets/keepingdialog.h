#pragma once

#include "protocol/result.h"

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

    // Writes what the dialog keeps now.
    Done saveNow() { return saveOnClose(); }
    // Closes without writing (what it keeps was written just before, or the
    // user chose to discard it).
    void closeWithoutSaving();

    // A message as a sentence of its own, so another can follow it.
    static QString asSentence(const QString &text);

protected:
    // Writes what the dialog keeps.
    virtual Done saveOnClose() = 0;
    // Shows a one-line message on the dialog.
    virtual void showCloseProblem(const QString &text) = 0;

    void closeEvent(QCloseEvent *event) override;
    void reject() override { close(); }

private:
    bool m_warnedOnClose = false;
    bool m_saved = false;
};

} // namespace zanto
