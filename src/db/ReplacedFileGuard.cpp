#include "db/ReplacedFileGuard.h"

#include <sqlite3.h>

#include <algorithm>
#include <mutex>

namespace pelmor::db {
namespace {

// A file opened through the guard: SQLite's handle, followed in the same
// memory by the handle of the system's own file.
struct GuardedFile {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* realFile(sqlite3_file* file)
{
    return reinterpret_cast<GuardedFile*>(file)->real;
}

sqlite3_vfs* realVfs(sqlite3_vfs* vfs)
{
    return static_cast<sqlite3_vfs*>(vfs->pAppData);
}

// The one change: a file that no longer bears its name reports its journal
// as held by a writer, so it is never taken for the journal of a crash.
int guardedCheckReservedLock(sqlite3_file* file, int* reserved)
{
    sqlite3_file* real = realFile(file);
    int moved = 0;
    if (real->pMethods->xFileControl(real, SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved) {
        *reserved = 1;
        return SQLITE_OK;
    }
    return real->pMethods->xCheckReservedLock(real, reserved);
}

// Everything else goes to the system's file as it is.
int guardedClose(sqlite3_file* file)
{
    sqlite3_file* real = realFile(file);
    return real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
}
int guardedRead(sqlite3_file* file, void* buffer, int amount, sqlite3_int64 offset)
{
    return realFile(file)->pMethods->xRead(realFile(file), buffer, amount, offset);
}
int guardedWrite(sqlite3_file* file, const void* buffer, int amount, sqlite3_int64 offset)
{
    return realFile(file)->pMethods->xWrite(realFile(file), buffer, amount, offset);
}
int guardedTruncate(sqlite3_file* file, sqlite3_int64 size)
{
    return realFile(file)->pMethods->xTruncate(realFile(file), size);
}
int guardedSync(sqlite3_file* file, int flags)
{
    return realFile(file)->pMethods->xSync(realFile(file), flags);
}
int guardedFileSize(sqlite3_file* file, sqlite3_int64* size)
{
    return realFile(file)->pMethods->xFileSize(realFile(file), size);
}
int guardedLock(sqlite3_file* file, int level)
{
    return realFile(file)->pMethods->xLock(realFile(file), level);
}
int guardedUnlock(sqlite3_file* file, int level)
{
    return realFile(file)->pMethods->xUnlock(realFile(file), level);
}
int guardedFileControl(sqlite3_file* file, int operation, void* argument)
{
    return realFile(file)->pMethods->xFileControl(realFile(file), operation, argument);
}
int guardedSectorSize(sqlite3_file* file)
{
    return realFile(file)->pMethods->xSectorSize(realFile(file));
}
int guardedDeviceCharacteristics(sqlite3_file* file)
{
    return realFile(file)->pMethods->xDeviceCharacteristics(realFile(file));
}
// Shared memory (write-ahead logs) and memory maps, where the system's file has them.
int guardedShmMap(sqlite3_file* file, int region, int size, int extend, void volatile** memory)
{
    sqlite3_file* real = realFile(file);
    if (real->pMethods->iVersion < 2 || !real->pMethods->xShmMap)
        return SQLITE_IOERR_SHMMAP;
    return real->pMethods->xShmMap(real, region, size, extend, memory);
}
int guardedShmLock(sqlite3_file* file, int offset, int count, int flags)
{
    sqlite3_file* real = realFile(file);
    if (real->pMethods->iVersion < 2 || !real->pMethods->xShmLock)
        return SQLITE_IOERR_SHMLOCK;
    return real->pMethods->xShmLock(real, offset, count, flags);
}
void guardedShmBarrier(sqlite3_file* file)
{
    sqlite3_file* real = realFile(file);
    if (real->pMethods->iVersion >= 2 && real->pMethods->xShmBarrier)
        real->pMethods->xShmBarrier(real);
}
int guardedShmUnmap(sqlite3_file* file, int deleteFlag)
{
    sqlite3_file* real = realFile(file);
    if (real->pMethods->iVersion < 2 || !real->pMethods->xShmUnmap)
        return SQLITE_OK;
    return real->pMethods->xShmUnmap(real, deleteFlag);
}
int guardedFetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** pages)
{
    sqlite3_file* real = realFile(file);
    if (real->pMethods->iVersion < 3 || !real->pMethods->xFetch) {
        *pages = nullptr;
        return SQLITE_OK;
    }
    return real->pMethods->xFetch(real, offset, amount, pages);
}
int guardedUnfetch(sqlite3_file* file, sqlite3_int64 offset, void* pages)
{
    sqlite3_file* real = realFile(file);
    if (real->pMethods->iVersion < 3 || !real->pMethods->xUnfetch)
        return SQLITE_OK;
    return real->pMethods->xUnfetch(real, offset, pages);
}

const sqlite3_io_methods kMethods = {
    3,
    guardedClose,
    guardedRead,
    guardedWrite,
    guardedTruncate,
    guardedSync,
    guardedFileSize,
    guardedLock,
    guardedUnlock,
    guardedCheckReservedLock,
    guardedFileControl,
    guardedSectorSize,
    guardedDeviceCharacteristics,
    guardedShmMap,
    guardedShmLock,
    guardedShmBarrier,
    guardedShmUnmap,
    guardedFetch,
    guardedUnfetch,
};

int guardedOpen(sqlite3_vfs* vfs, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags)
{
    auto* guarded = reinterpret_cast<GuardedFile*>(file);
    guarded->base.pMethods = nullptr;
    guarded->real = reinterpret_cast<sqlite3_file*>(guarded + 1);
    const int result = realVfs(vfs)->xOpen(realVfs(vfs), name, guarded->real, flags, outFlags);
    // SQLite closes a file whose methods are set, even after a failed open.
    if (guarded->real->pMethods)
        guarded->base.pMethods = &kMethods;
    return result;
}

// The file system's other operations, unchanged.
int guardedRemove(sqlite3_vfs* vfs, const char* name, int syncFolder)
{
    return realVfs(vfs)->xDelete(realVfs(vfs), name, syncFolder);
}
int guardedAccess(sqlite3_vfs* vfs, const char* name, int flags, int* result)
{
    return realVfs(vfs)->xAccess(realVfs(vfs), name, flags, result);
}
int guardedFullPathname(sqlite3_vfs* vfs, const char* name, int size, char* out)
{
    return realVfs(vfs)->xFullPathname(realVfs(vfs), name, size, out);
}
void* guardedDlOpen(sqlite3_vfs* vfs, const char* name)
{
    return realVfs(vfs)->xDlOpen(realVfs(vfs), name);
}
void guardedDlError(sqlite3_vfs* vfs, int size, char* message)
{
    realVfs(vfs)->xDlError(realVfs(vfs), size, message);
}
void (*guardedDlSym(sqlite3_vfs* vfs, void* library, const char* symbol))(void)
{
    return realVfs(vfs)->xDlSym(realVfs(vfs), library, symbol);
}
void guardedDlClose(sqlite3_vfs* vfs, void* library)
{
    realVfs(vfs)->xDlClose(realVfs(vfs), library);
}
int guardedRandomness(sqlite3_vfs* vfs, int size, char* out)
{
    return realVfs(vfs)->xRandomness(realVfs(vfs), size, out);
}
int guardedSleep(sqlite3_vfs* vfs, int microseconds)
{
    return realVfs(vfs)->xSleep(realVfs(vfs), microseconds);
}
int guardedCurrentTime(sqlite3_vfs* vfs, double* now)
{
    return realVfs(vfs)->xCurrentTime(realVfs(vfs), now);
}
int guardedLastError(sqlite3_vfs* vfs, int size, char* message)
{
    return realVfs(vfs)->xGetLastError ? realVfs(vfs)->xGetLastError(realVfs(vfs), size, message) : 0;
}
int guardedCurrentTimeInt64(sqlite3_vfs* vfs, sqlite3_int64* now)
{
    return realVfs(vfs)->xCurrentTimeInt64(realVfs(vfs), now);
}
int guardedSetSystemCall(sqlite3_vfs* vfs, const char* name, sqlite3_syscall_ptr call)
{
    return realVfs(vfs)->xSetSystemCall(realVfs(vfs), name, call);
}
sqlite3_syscall_ptr guardedGetSystemCall(sqlite3_vfs* vfs, const char* name)
{
    return realVfs(vfs)->xGetSystemCall(realVfs(vfs), name);
}
const char* guardedNextSystemCall(sqlite3_vfs* vfs, const char* name)
{
    return realVfs(vfs)->xNextSystemCall(realVfs(vfs), name);
}

} // namespace

void guardAgainstReplacedFiles()
{
    // SQLite keeps the file system it is given for as long as the process
    // runs, so it lives in static storage; it holds no state of its own.
    static sqlite3_vfs guard;
    static std::once_flag installed;
    std::call_once(installed, [] {
        sqlite3_vfs* real = sqlite3_vfs_find(nullptr);
        if (!real)
            return;
        guard = sqlite3_vfs{};
        guard.iVersion = std::min(real->iVersion, 3);
        guard.szOsFile = int(sizeof(GuardedFile)) + real->szOsFile;
        guard.mxPathname = real->mxPathname;
        guard.zName = "pelmor-guard";
        guard.pAppData = real;
        guard.xOpen = guardedOpen;
        guard.xDelete = guardedRemove;
        guard.xAccess = guardedAccess;
        guard.xFullPathname = guardedFullPathname;
        guard.xDlOpen = guardedDlOpen;
        guard.xDlError = guardedDlError;
        guard.xDlSym = guardedDlSym;
        guard.xDlClose = guardedDlClose;
        guard.xRandomness = guardedRandomness;
        guard.xSleep = guardedSleep;
        guard.xCurrentTime = guardedCurrentTime;
        guard.xGetLastError = guardedLastError;
        if (guard.iVersion >= 2)
            guard.xCurrentTimeInt64 = guardedCurrentTimeInt64;
        if (guard.iVersion >= 3) {
            guard.xSetSystemCall = guardedSetSystemCall;
            guard.xGetSystemCall = guardedGetSystemCall;
            guard.xNextSystemCall = guardedNextSystemCall;
        }
        sqlite3_vfs_register(&guard, 1);
    });
}

} // namespace pelmor::db
