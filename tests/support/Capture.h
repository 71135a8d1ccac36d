#pragma once

#include <QString>

// What this process writes to one of its descriptors (1 or 2) between
// construction and stop().
class DescriptorCapture
{
public:
    explicit DescriptorCapture(int fd);
    ~DescriptorCapture();
    QString stop();

private:
    int m_fd;
    int m_saved = -1;
    int m_file = -1;
};
