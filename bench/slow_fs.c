// A pass-through file system that answers every request 1 ms late: a music library on a
// network share, for the benchmarks. Usage: slow_fs SOURCE MOUNTPOINT [FUSE options]
// Everything under MOUNTPOINT is SOURCE's; the kernel is told to cache nothing, so every
// question a program asks reaches this process (and waits).
#define FUSE_USE_VERSION 31
#define _GNU_SOURCE

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <fuse3/fuse.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <time.h>
#include <unistd.h>

static const char* g_source;

static void Delay(void) {
    const struct timespec millisecond = {0, 1000000};
    nanosleep(&millisecond, NULL);
}

static void Real(char out[PATH_MAX], const char* path) { snprintf(out, PATH_MAX, "%s%s", g_source, path); }

#define REAL(name) \
    char name[PATH_MAX]; \
    Delay(); \
    Real(name, path)

static void* Init(struct fuse_conn_info* connection, struct fuse_config* config) {
    (void)connection;
    config->use_ino = 1;
    config->entry_timeout = 0;
    config->attr_timeout = 0;
    config->negative_timeout = 0;
    return NULL;
}

static int GetAttr(const char* path, struct stat* info, struct fuse_file_info* file) {
    (void)file;
    REAL(real);
    return lstat(real, info) == 0 ? 0 : -errno;
}

static int ReadDir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset,
                   struct fuse_file_info* file, enum fuse_readdir_flags flags) {
    (void)offset, (void)file, (void)flags;
    REAL(real);
    DIR* folder = opendir(real);
    if (!folder) return -errno;
    for (struct dirent* entry; (entry = readdir(folder)) != NULL;) {
        struct stat info = {0};
        info.st_ino = entry->d_ino;
        info.st_mode = (mode_t)DTTOIF(entry->d_type);
        if (fill(buffer, entry->d_name, &info, 0, 0)) break;
    }
    closedir(folder);
    return 0;
}

static int Open(const char* path, struct fuse_file_info* file) {
    REAL(real);
    const int fd = open(real, file->flags);
    if (fd < 0) return -errno;
    file->fh = (uint64_t)fd;
    return 0;
}

static int Create(const char* path, mode_t mode, struct fuse_file_info* file) {
    REAL(real);
    const int fd = open(real, file->flags, mode);
    if (fd < 0) return -errno;
    file->fh = (uint64_t)fd;
    return 0;
}

static int Read(const char* path, char* buffer, size_t size, off_t offset, struct fuse_file_info* file) {
    (void)path;
    Delay();
    const ssize_t got = pread((int)file->fh, buffer, size, offset);
    return got < 0 ? -errno : (int)got;
}

static int Write(const char* path, const char* buffer, size_t size, off_t offset, struct fuse_file_info* file) {
    (void)path;
    Delay();
    const ssize_t put = pwrite((int)file->fh, buffer, size, offset);
    return put < 0 ? -errno : (int)put;
}

static int Release(const char* path, struct fuse_file_info* file) {
    (void)path;
    close((int)file->fh);
    return 0;
}

static int Fsync(const char* path, int dataOnly, struct fuse_file_info* file) {
    (void)path;
    Delay();
    return (dataOnly ? fdatasync((int)file->fh) : fsync((int)file->fh)) == 0 ? 0 : -errno;
}

static int MakeDir(const char* path, mode_t mode) {
    REAL(real);
    return mkdir(real, mode) == 0 ? 0 : -errno;
}

static int Unlink(const char* path) {
    REAL(real);
    return unlink(real) == 0 ? 0 : -errno;
}

static int RemoveDir(const char* path) {
    REAL(real);
    return rmdir(real) == 0 ? 0 : -errno;
}

static int Rename(const char* path, const char* to, unsigned int flags) {
    if (flags) return -EINVAL;
    REAL(real);
    char realTo[PATH_MAX];
    Real(realTo, to);
    return rename(real, realTo) == 0 ? 0 : -errno;
}

static int Truncate(const char* path, off_t size, struct fuse_file_info* file) {
    REAL(real);
    const int result = file ? ftruncate((int)file->fh, size) : truncate(real, size);
    return result == 0 ? 0 : -errno;
}

static int Chmod(const char* path, mode_t mode, struct fuse_file_info* file) {
    (void)file;
    REAL(real);
    return chmod(real, mode) == 0 ? 0 : -errno;
}

static int Utimens(const char* path, const struct timespec times[2], struct fuse_file_info* file) {
    (void)file;
    REAL(real);
    return utimensat(AT_FDCWD, real, times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : -errno;
}

static int StatFs(const char* path, struct statvfs* info) {
    REAL(real);
    return statvfs(real, info) == 0 ? 0 : -errno;
}

static const struct fuse_operations kOperations = {
    .init = Init,
    .getattr = GetAttr,
    .readdir = ReadDir,
    .open = Open,
    .create = Create,
    .read = Read,
    .write = Write,
    .release = Release,
    .fsync = Fsync,
    .mkdir = MakeDir,
    .unlink = Unlink,
    .rmdir = RemoveDir,
    .rename = Rename,
    .truncate = Truncate,
    .chmod = Chmod,
    .utimens = Utimens,
    .statfs = StatFs,
};

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: %s SOURCE MOUNTPOINT [FUSE options]\n", argv[0]);
        return 2;
    }
    static char source[PATH_MAX];
    if (!realpath(argv[1], source)) {
        perror(argv[1]);
        return 2;
    }
    g_source = source;
    argv[1] = argv[0];  // FUSE sees: program MOUNTPOINT [options]
    return fuse_main(argc - 1, argv + 1, &kOperations, NULL);
}
