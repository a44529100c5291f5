#include "archive/archive_cause_text.h"

#include "res/resource.h"

int ArchiveCauseTextId(ArchiveCause cause) {
    switch (cause) {
        case ArchiveCause::Locked:
            return IDS_ARCHIVE_LOCKED;
        case ArchiveCause::ReadOnly:
            return IDS_ARCHIVE_READ_ONLY;
        case ArchiveCause::CannotOpen:
            return IDS_ARCHIVE_CANNOT_OPEN;
        case ArchiveCause::NotAnArchive:
            return IDS_ARCHIVE_NOT_AN_ARCHIVE;
        case ArchiveCause::TooNew:
            return IDS_ARCHIVE_TOO_NEW;
        case ArchiveCause::ForeignDatabase:
            return IDS_ARCHIVE_FOREIGN;
        case ArchiveCause::DiskFull:
            return IDS_ARCHIVE_DISK_FULL;
        case ArchiveCause::None:
        case ArchiveCause::Unknown:
            break;
    }
    return IDS_ARCHIVE_UNKNOWN;
}
