/* The yardstick: the least a splitter must do. Reads the mailbox in one go, finds
 * each "\nFrom " with memmem, and writes each message with open/write/close.
 * bare_split MBOX OUTDIR */
#define _GNU_SOURCE
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

int main(int argc, char **argv) {
    if (argc != 3) { fprintf(stderr, "usage: bare_split MBOX OUTDIR\n"); return 2; }
    int fd = open(argv[1], O_RDONLY);
    struct stat st;
    if (fd < 0 || fstat(fd, &st) != 0) { perror(argv[1]); return 1; }
    const char *data = st.st_size ? mmap(NULL, st.st_size, PROT_READ, MAP_PRIVATE, fd, 0) : "";
    if (data == MAP_FAILED) { perror("mmap"); return 1; }
    mkdir(argv[2], 0777);
    size_t size = st.st_size, pos = 0;
    long n = 0;
    char path[4096];
    while (pos < size) {
        const char *next = memmem(data + pos, size - pos, "\nFrom ", 6);
        size_t end = next ? (size_t)(next - data) + 1 : size;
        snprintf(path, sizeof path, "%s/email-%ld.eml", argv[2], ++n);
        int out = open(path, O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (out < 0 || write(out, data + pos, end - pos) != (ssize_t)(end - pos) || close(out) != 0) {
            perror(path);
            return 1;
        }
        pos = end;
    }
    return 0;
}
