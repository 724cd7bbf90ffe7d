// Holds a lock on a database file, as another program working on it would, until its
// standard input closes. Prints "locked" once the lock is held.
//
//   hold_lock DATABASE          exclusive: nobody else may even read (opening fails)
//   hold_lock --write DATABASE  a writer's transaction: others read, writers must wait
#include <sqlite3.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    const bool writeOnly = argc == 3 && std::strcmp(argv[1], "--write") == 0;
    if (argc != 2 && !writeOnly) {
        std::fprintf(stderr, "usage: hold_lock [--write] DATABASE\n");
        return 2;
    }
    const char* path = argv[argc - 1];
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path, &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "open: %s\n", sqlite3_errmsg(db));
        return 1;
    }
    char* error = nullptr;
    // The write makes the lock exclusive for certain, whatever the journal mode.
    const char* sql = writeOnly ? "BEGIN IMMEDIATE; UPDATE Options SET Key = Key;"
                                : "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;"
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
    sqlite3_exec(db, writeOnly ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return 0;
}
