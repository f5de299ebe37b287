#include "widgets/keepingdialog.h"

#include <QCloseEvent>

namespace zanto {

KeepingDialog::KeepingDialog(QWidget *parent)
    : QDialog(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
}

QString KeepingDialog::asSentence(const QString &text)
{
    return text.endsWith(QLatin1Char('.')) ? text : text + QLatin1Char('.');
}

void KeepingDialog::closeWithoutSaving()
{
    m_saved = true;
    hide();
    close();
}

void KeepingDialog::closeEvent(QCloseEvent *event)
{
    if (m_saved) {
        event->accept();
        return;
    }
    const Done saved = saveOnClose();
    if (!saved && isVisible() && !m_warnedOnClose) {
        m_warnedOnClose = true;
        showCloseProblem(asSentence(saved.error()) + tr(" Close again to discard."));
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace zanto
