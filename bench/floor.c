/* The least a whole `vextal` run must do, as a yardstick for its timing:
 * start a process linked against the shared C library, read the input file
 * whole and, for each output, write that many bytes to a new temporary file
 * beside the target and rename it into place.
 *
 *   floor INPUT                        read only (the floor of `vextal load`)
 *   floor INPUT OUT1 SIZE1 [OUT2 SIZE2 ...]
 *
 * The bytes written are the input's own, repeated where an output is larger:
 * producing the text is the program's work, not the floor's. */
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

static char input[1 << 16];

int main(int argc, char** argv) {
    if (argc < 2 || argc % 2 != 0) {
        fputs("usage: floor INPUT [OUTPUT SIZE]...\n", stderr);
        return 2;
    }
    int fd = open(argv[1], O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 1;
    size_t have = 0;
    ssize_t n;
    while (have < sizeof input && (n = read(fd, input + have, sizeof input - have)) > 0) {
        have += (size_t)n;
    }
    close(fd);
    if (have == 0) return 1;

    for (int i = 2; i + 1 < argc; i += 2) {
        char temp[4096];
        snprintf(temp, sizeof temp, "%s.%d.tmp", argv[i], (int)getpid());
        int out = open(temp, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (out < 0) return 1;
        size_t size = strtoul(argv[i + 1], NULL, 10);
        while (size > 0) {
            size_t chunk = size < have ? size : have;
            if (write(out, input, chunk) != (ssize_t)chunk) return 1;
            size -= chunk;
        }
        if (close(out) != 0 || rename(temp, argv[i]) != 0) return 1;
    }
    return 0;
}
