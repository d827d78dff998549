#include "power/undo_record.h"

#include "power/boost.h"
#include "settings/settings.h"

// The program that wrote a record, told apart from a later one by its start (ids are reused).
struct Writer {
    DWORD processId;
    DWORD createdLow;
    DWORD createdHigh;
};

// The stored forms; fixed-size fields only.
struct UndoRecord {
    DWORD version;
    DWORD method;
    GUID scheme;
    DWORD savedAc; // of the record's efficiency class
    DWORD savedDc;
    Writer writer;
};
static_assert(sizeof(UndoRecord) == 44, "the stored record's size");
struct ModesRecord {
    DWORD version;
    DWORD saved; // the bits of BoostUndo::modesSaved
    GUID modes[kPowerSources];
    Writer writer;
};
static_assert(sizeof(ModesRecord) == 52, "the stored modes record's size");
enum : DWORD { kUndoVersion = 1, kAllModes = (1u << kPowerSources) - 1 };

static const UndoValue kValues[kStoredRecords] = {kUndoValueFirst, kUndoValueClass1, kUndoValueModes};
static const int kFirstSaved[kStoredRecords] = {kMinimumAc, kMinimumAcClass1, kMinimumStates};

static void StampWriter(Writer* writer) {
    writer->processId = GetCurrentProcessId();
    writer->createdLow = 0;
    writer->createdHigh = 0;
    FILETIME created, exited, kernel, user;
    if (GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        writer->createdLow = created.dwLowDateTime;
        writer->createdHigh = created.dwHighDateTime;
    }
}

static void Write(StoredUndo which, const BoostUndo& undo) {
    if (which == kStoredModes) {
        ModesRecord record = {
            kUndoVersion, undo.modesSaved, {undo.modes[kSourceAc], undo.modes[kSourceDc]}, {}};
        StampWriter(&record.writer);
        WriteUndoRecord(kValues[which], &record, sizeof(record));
        return;
    }
    const int first = kFirstSaved[which];
    UndoRecord record = {kUndoVersion,      undo.method,           undo.scheme,
                         undo.saved[first], undo.saved[first + 1], {}};
    StampWriter(&record.writer);
    WriteUndoRecord(kValues[which], &record, sizeof(record));
}

// Whether `undo` holds anything for a stored record to keep: a method for the first, a class-1
// value for the class-1 one, a mode for the modes.
static bool Holds(StoredUndo which, const BoostUndo& undo) {
    if (which == kStoredModes)
        return undo.modesSaved != 0;
    return undo.method != kUndoNothing &&
           (which == kStoredFirst || undo.saved[kMinimumAcClass1] != kNothingSaved ||
            undo.saved[kMinimumDcClass1] != kNothingSaved);
}

static void StoreOrDelete(StoredUndo which, const BoostUndo& undo, bool store) {
    if (store)
        Write(which, undo);
    else
        DeleteUndoRecord(kValues[which]);
}

void StoreUndo(const BoostUndo& undo) {
    for (int which = 0; which < kStoredRecords; ++which)
        StoreOrDelete(static_cast<StoredUndo>(which), undo, Holds(static_cast<StoredUndo>(which), undo));
}

bool UndoStored() {
    ModesRecord record; // the larger form
    for (UndoValue value : kValues) {
        if (ReadUndoRecord(value, &record, sizeof(record)) != kRecordAbsent)
            return true;
    }
    return false;
}

void DeleteUndo() {
    for (UndoValue value : kValues)
        DeleteUndoRecord(value);
}

void StoreUndoLeft(StoredUndo which, const BoostUndo& left, bool anythingLeft) {
    StoreOrDelete(which, left, which == kStoredModes ? left.modesSaved != 0 : anythingLeft);
}

// Whether another program that wrote the record still runs: the same process id, started at the
// same moment (ids are reused, after a restart within minutes). This very process never holds a
// boost while it replays.
static bool WriterRunning(const Writer& writer) {
    if (writer.processId == GetCurrentProcessId())
        return false;
    HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, writer.processId);
    if (!process)
        return false;
    FILETIME created, exited, kernel, user;
    bool same = GetProcessTimes(process, &created, &exited, &kernel, &user) &&
                created.dwLowDateTime == writer.createdLow && created.dwHighDateTime == writer.createdHigh &&
                WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return same;
}

static void ClearUndo(BoostUndo* undo) {
    undo->method = kUndoNothing;
    for (DWORD& saved : undo->saved)
        saved = kNothingSaved;
    undo->modesSaved = 0;
}

static UndoFound LoadModes(BoostUndo* undo) {
    ModesRecord record;
    StoredRecord stored = ReadUndoRecord(kUndoValueModes, &record, sizeof(record));
    if (stored == kRecordAbsent)
        return kUndoAbsent;
    if (stored == kRecordMalformed || record.version != kUndoVersion || (record.saved & ~kAllModes)) {
        DeleteUndoRecord(kUndoValueModes);
        return kUndoMalformed;
    }
    if (WriterRunning(record.writer))
        return kUndoHeldElsewhere;
    ClearUndo(undo);
    undo->modesSaved = record.saved;
    for (int source = 0; source < kPowerSources; ++source)
        undo->modes[source] = record.modes[source];
    return kUndoFound;
}

UndoFound LoadUndo(StoredUndo which, BoostUndo* undo) {
    if (which == kStoredModes)
        return LoadModes(undo);
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
    if (WriterRunning(record.writer))
        return kUndoHeldElsewhere;
    ClearUndo(undo);
    undo->method = record.method;
    undo->scheme = record.scheme;
    undo->saved[kFirstSaved[which]] = record.savedAc;
    undo->saved[kFirstSaved[which] + 1] = record.savedDc;
    return kUndoFound;
}
