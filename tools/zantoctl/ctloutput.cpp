#include "ctloutput.h"

#include <cerrno>
#include <cstring>

namespace zantoctl {

void CtlOutput::fail(int error)
{
    if (m_error.isEmpty())
        m_error = QString::fromLocal8Bit(std::strerror(error ? error : EIO));
}

void CtlOutput::write(const QByteArray &bytes)
{
    if (bytes.isEmpty() || !m_file || failed())
        return;
    errno = 0;
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), m_file) != size_t(bytes.size())
        || std::fflush(m_file) != 0)
        fail(errno);
}

bool CtlOutput::close()
{
    if (!m_file)
        return !failed();
    errno = 0;
    // A file system may refuse the data only now (a full disk behind a
    // buffered write, a network file).
    if (std::fflush(m_file) != 0)
        fail(errno);
    if (std::fclose(m_file) != 0 && !failed())
        fail(errno);
    m_file = nullptr;
    return !failed();
}

} // namespace zantoctl
