// Holds an exclusive lock on a database file, as another program writing to it would,
// until its standard input closes. Prints "locked" once the lock is held.
#include <sqlite3.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: hold_lock DATABASE\n");
        return 2;
    }
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(argv[1], &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "open: %s\n", sqlite3_errmsg(db));
        return 1;
    }
    char* error = nullptr;
    // The write makes the lock exclusive for certain, whatever the journal mode.
    const char* sql = "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;"
                      "CREATE TABLE HeldByAnotherProcess (x INTEGER);";
    if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
        std::fprintf(stderr, "lock: %s\n", error);
        sqlite3_free(error);
        sqlite3_close(db);
        return 1;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    while (std::fgetc(stdin) != EOF) {
    }
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}
