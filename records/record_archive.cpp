// Every read of the record list is kept in the archive when it ends, and the device's log is
// cleared unasked only when it is proven to be the log that was read and kept.
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#include "app/main_dialog.h"
#include "app/number_text.h"
#include "archive/archive_cause_text.h"
#include "archive/archive_file.h"
#include "records/measurement_record.h"
#include "res/resource.h"
#include "site/site_setting.h"

namespace {

class ReadFeed : public MeasurementFeed {
public:
    explicit ReadFeed(const std::vector<Measurement>& rows) : m_rows(rows) {}

    Step Next(Measurement& row) override {
        if (m_next == m_rows.size()) return End;
        row = m_rows[m_next++];
        return Row;
    }

private:
    const std::vector<Measurement>& m_rows;
    size_t m_next = 0;
};

}  // namespace

void COmbrix_TessalyDlg::ArchiveRecordsRead(const std::vector<Measurement>& read, size_t leftOut,
                                            bool complete, const uint8_t* newest) {
    ForgetArchivedLog();
    if (!m_archive || read.empty()) return;
    ReadFeed feed(read);
    BatchCount count;
    const ArchiveStatus status = m_archive->Keep(m_strPortName, feed, count);
    if (!status) {
        m_ui.TellError(ArchiveCauseTextId(status.cause), m_archive->Path());
        return;
    }
    if (!complete || leftOut != 0) return;
    m_archivedLog.count = static_cast<long>(read.size());
    std::copy_n(newest, m_archivedLog.newest.size(), m_archivedLog.newest.begin());
}

bool COmbrix_TessalyDlg::NewestRecordUnchanged(uint16_t count, bool& replied) {
    TxFrame[FRAME_SUB] = SUB_READ_ITEM;
    PutWord(TxFrame, FRAME_ITEM, count);
    replied = ExchangeOrReport(IDS_DELAY);
    PutWord(TxFrame, FRAME_ITEM, 0);
    return replied && std::equal(m_archivedLog.newest.begin(), m_archivedLog.newest.end(),
                                 m_reply + MeasurementRecord::FRAME_USER);
}

bool COmbrix_TessalyDlg::MayClearRecords() {
    const bool counted = ReplyStatus() == RX_STATUS_COUNT;
    const uint16_t count = ReplyCount();
    if (counted && count == m_archivedLog.count) {
        bool replied = false;
        const bool proven = NewestRecordUnchanged(count, replied);
        if (!replied) return false;
        if (proven) {
            // What is deleted now was kept; what the device counts after this is not.
            ForgetArchivedLog();
            return true;
        }
    }
    const bool yes = counted
                         ? m_ui.AskNoByDefault(IDS_RECORD_CLEAR_NOT_ARCHIVED, DecimalText(count))
                         : m_ui.AskNoByDefault(IDS_RECORD_CLEAR_UNKNOWN, "");
    if (!yes || !KeepForcedClear(counted ? std::optional<int>(count) : std::nullopt)) return false;
    ForgetArchivedLog();
    return true;
}

// An auditor sees every deletion of records the archive may not hold: the clear goes on only
// once the archive has kept it.
bool COmbrix_TessalyDlg::KeepForcedClear(std::optional<int> count) {
    if (!m_archive) return true;
    const ArchiveStatus status =
        m_archive->KeepForcedClear({"", count, ThisPc().user, m_strPortName});
    if (status) return true;
    m_ui.TellError(ArchiveCauseTextId(status.cause), m_archive->Path());
    return false;
}

void COmbrix_TessalyDlg::SetPortName(const std::string& name) {
    m_strPortName = name;
    ForgetArchivedLog();
}
