#include "Capture.h"

#include <QByteArray>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

DescriptorCapture::DescriptorCapture(int fd)
    : m_fd(fd)
{
    char name[] = "/tmp/brindle-capture-XXXXXX";
    m_file = mkstemp(name);
    unlink(name);
    std::fflush(nullptr);
    m_saved = dup(fd);
    dup2(m_file, fd);
}

DescriptorCapture::~DescriptorCapture()
{
    stop();
}

QString DescriptorCapture::stop()
{
    if (m_saved < 0)
        return {};
    std::fflush(nullptr);
    dup2(m_saved, m_fd);
    close(m_saved);
    m_saved = -1;
    QByteArray text;
    lseek(m_file, 0, SEEK_SET);
    char buffer[4096];
    ssize_t n;
    while ((n = read(m_file, buffer, sizeof buffer)) > 0)
        text.append(buffer, n);
    close(m_file);
    return QString::fromUtf8(text);
}
