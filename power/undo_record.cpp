#include "power/undo_record.h"

#include "power/boost.h"
#include "settings/settings.h"

// The stored form; fixed-size fields only.
struct UndoRecord {
    DWORD version;
    DWORD method;
    GUID scheme;
    DWORD savedAc; // of the record's efficiency class
    DWORD savedDc;
    DWORD processId; // the program that wrote it, told apart from a later one by its start
    DWORD createdLow;
    DWORD createdHigh;
};
static_assert(sizeof(UndoRecord) == 44, "the stored record's size");
enum : DWORD { kUndoVersion = 1 };

static const UndoValue kValues[kStoredRecords] = {kUndoValueFirst, kUndoValueClass1};
static const int kFirstSaved[kStoredRecords] = {kMinimumAc, kMinimumAcClass1};

static void Write(StoredUndo which, const BoostUndo& undo) {
    const int first = kFirstSaved[which];
    UndoRecord record = {kUndoVersion,          undo.method,           undo.scheme, undo.saved[first],
                         undo.saved[first + 1], GetCurrentProcessId(), 0,           0};
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        record.createdLow = created.dwLowDateTime;
        record.createdHigh = created.dwHighDateTime;
    }
    WriteUndoRecord(kValues[which], &record, sizeof(record));
}

void StoreUndo(const BoostUndo& undo) {
    Write(kStoredFirst, undo);
    if (undo.saved[kMinimumAcClass1] != kNothingSaved || undo.saved[kMinimumDcClass1] != kNothingSaved)
        Write(kStoredClass1, undo);
    else
        DeleteUndoRecord(kUndoValueClass1);
}

bool UndoStored() {
    UndoRecord record;
    return ReadUndoRecord(kUndoValueFirst, &record, sizeof(record)) != kRecordAbsent ||
           ReadUndoRecord(kUndoValueClass1, &record, sizeof(record)) != kRecordAbsent;
}

void DeleteUndo() {
    DeleteUndoRecord(kUndoValueFirst);
    DeleteUndoRecord(kUndoValueClass1);
}

void StoreUndoLeft(StoredUndo which, const BoostUndo& left, bool anythingLeft) {
    if (anythingLeft)
        Write(which, left);
    else
        DeleteUndoRecord(kValues[which]);
}

// Whether another program that wrote the record still runs: the same process id, started at the
// same moment (ids are reused, after a restart within minutes). This very process never holds a
// boost while it replays.
static bool WriterRunning(const UndoRecord& record) {
    if (record.processId == GetCurrentProcessId())
        return false;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, record.processId);
    if (!process)
        return false;
    FILETIME created, exited, kernel, user;
    bool same = GetProcessTimes(process, &created, &exited, &kernel, &user) &&
                created.dwLowDateTime == record.createdLow && created.dwHighDateTime == record.createdHigh &&
                WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return same;
}

UndoFound LoadUndo(StoredUndo which, BoostUndo* undo) {
    UndoRecord record;
    StoredRecord stored = ReadUndoRecord(kValues[which], &record, sizeof(record));
    if (stored == kRecordAbsent)
        return kUndoAbsent;
    // A class-1 record is only ever one of the minimum state.
    if (stored == kRecordMalformed || record.version != kUndoVersion ||
        record.method > kBoostMethodMinimumState ||
        (which == kStoredClass1 && record.method != kBoostMethodMinimumState)) {
        DeleteUndoRecord(kValues[which]);
        return kUndoMalformed;
    }
    if (WriterRunning(record))
        return kUndoHeldElsewhere;
    undo->method = record.method;
    undo->scheme = record.scheme;
    for (DWORD& saved : undo->saved)
        saved = kNothingSaved;
    undo->saved[kFirstSaved[which]] = record.savedAc;
    undo->saved[kFirstSaved[which] + 1] = record.savedDc;
    return kUndoFound;
}
