#include "link/portsettings.h"

#include "platform/textfile.h"
#include "protocol/latin1.h"

#include <QDir>

namespace zanto {

PortSettings::PortSettings(QObject *parent)
    : QObject(parent)
{
    for (int line = 0; line < LineCount; ++line)
        m_texts[line] = QLatin1String(StartTexts[line]);
}

PortSettings::~PortSettings() = default;

std::array<QString, PortSettings::LineCount> PortSettings::textsFrom(const QList<QByteArray> &lines)
{
    std::array<QString, LineCount> texts;
    for (int line = 0; line < LineCount; ++line) {
        const QByteArray value = lines.value(line);
        texts[line] = value.isEmpty() ? QLatin1String(StartTexts[line]) : fromBytes(value);
    }
    return texts;
}

void PortSettings::load()
{
    if (isLoaded())
        return;
    m_file = std::make_unique<SettingsFile>(QDir::currentPath(), QLatin1String(FileName), LineCount);
    m_changedByUser = false;
    m_state = State::LoadedHidden;
    setTexts(textsFrom(m_file->load().value_or({})));
}

void PortSettings::show()
{
    load();
    m_state = State::LoadedShown;
}

Done PortSettings::close()
{
    if (!isLoaded())
        return Done();
    Done saved = save();
    if (saved)
        discard();
    return saved;
}

void PortSettings::discard()
{
    m_state = State::NotLoaded;
    m_file.reset();
}

Done PortSettings::save()
{
    if (!m_file)
        return Done();
    QList<QString> values(m_texts.begin(), m_texts.end());
    return m_file->save(values, m_changedByUser);
}

QString PortSettings::loadProblem() const
{
    return m_file ? m_file->loadProblem() : QString();
}

void PortSettings::setText(Line line, const QString &text)
{
    if (m_texts[line] == text)
        return;
    m_changedByUser = true;
    std::array<QString, LineCount> texts = m_texts;
    texts[line] = text;
    setTexts(texts);
}

void PortSettings::setTexts(const std::array<QString, LineCount> &texts)
{
    m_texts = texts;
    Q_EMIT parametersChanged(parameters());
}

LinkParameters PortSettings::parameters() const
{
    return linkParametersFrom(m_texts[PortLine], m_texts[BaudLine], m_texts[HostLine], m_texts[TcpPortLine]);
}

Result<LinkParameters> PortSettings::readFile(const QString &path)
{
    // Read, never created: a program that was pointed at the wrong folder
    // must say so rather than leave an empty file behind.
    FileReadLimits limits;
    limits.maxLines = LineCount;
    const Result<QList<QByteArray>> lines = readLineFile(path, limits);
    if (!lines)
        return failure(lines.error());
    const std::array<QString, LineCount> texts = textsFrom(*lines);
    return linkParametersFrom(texts[PortLine], texts[BaudLine], texts[HostLine], texts[TcpPortLine]);
}

} // namespace zanto
