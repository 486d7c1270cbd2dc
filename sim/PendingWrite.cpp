#include "sim/PendingWrite.h"

#include <cerrno>
#include <unistd.h>

bool PendingWrite::Flush(int fd)
{
    size_t done = 0;
    while (done < pending_.size()) {
        const ssize_t n = ::write(fd, pending_.data() + done, pending_.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        pending_.erase(0, done);
        return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
    }
    pending_.clear();
    return true;
}
