// Another program writing to a survey database: takes the write lock with an
// open write transaction, says "held" on its output, and keeps the lock until
// its input closes; then it rolls back and ends.
//
//   pelmor-holdlock DATABASE
#include <sqlite3.h>

#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: pelmor-holdlock DATABASE\n");
        return 2;
    }
    sqlite3* database = nullptr;
    if (sqlite3_open_v2(argv[1], &database, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
        sqlite3_exec(database, "BEGIN IMMEDIATE; UPDATE Radar SET Radar_Mode = Radar_Mode;", nullptr, nullptr,
                     nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "cannot lock %s: %s\n", argv[1], sqlite3_errmsg(database));
        sqlite3_close(database);
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    sqlite3_exec(database, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(database);
    return 0;
}
