// COmbrix_TessalyDlg: the main dialog's state and operations, independent of the window system.
// The panels' operations are members too; each lives in the folder of its panel.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/controls.h"
#include "app/device_list.h"
#include "app/file_io.h"
#include "app/port_settings.h"
#include "app/progress.h"
#include "link/comm_port.h"
#include "link/frame.h"

constexpr int PORT_COUNT = 12;
constexpr int DEFAULT_BAUD_RATE = 115200;
constexpr int USER_SCROLL_DY = 5000;

class RecordArchive;
struct Measurement;
struct RowAddition;
struct ListCsvLayout;
struct ListFilePanel;

class COmbrix_TessalyDlg {
public:
    COmbrix_TessalyDlg(DialogControls& controls, PortSettingsStore& settings);

    // Everything of the dialog's start that is not window plumbing: the edits from their
    // texts and the saved port selected.
    void InitMainDialog();
    // A button click, a menu item or an edit's change, by control id.
    void OnCommand(int control, ControlEvent event);
    // The program ends: the port closes and the watcher ends; nothing is sent.
    void OnClose();

    void CollectEdits();
    void ShowEdits();

    void OnConnect();
    // Opens the port of that name at the dialog's speed, for a program that names its port
    // itself; nothing is shown and no setting is touched.
    bool ConnectTo(const std::string& portName);
    void LoadPortSetting();
    void SavePortSetting();

    // The user panel (roster/).
    void OnChangeUserId1();
    void OnChangeUserId2();
    void OnChangeUserName();
    void OnAddUser();
    void OnSelectAllUsers();
    void OnDeleteUsers();
    void OnReadUsers();
    void OnWriteUsers();
    void OnExportUsers();
    void OnImportUsers();

    // The standard panel (standards/).
    void OnChangeSafeIndex();
    void OnChangeDangerIndex();
    void OnChangeStandardName();
    void OnAddStandard();
    void OnSelectAllStandards();
    void OnDeleteStandards();
    void OnReadStandards();
    void OnWriteStandards();
    void OnExportStandards();
    void OnImportStandards();

    // The record panel (records/).
    void OnReadRecords();
    void OnRecordItemChanged(long& result);
    void OnClearDeviceRecords();
    void OnDeleteAllRecords();
    void OnSaveCsv();

    // Where the CSV exports get their files; the platform's unless a test says otherwise.
    void SetFileFactory(OutputFileFactory factory) { m_makeFile = factory; }
    // Where every record read is kept; none: reads are not archived.
    void SetArchive(RecordArchive* archive) { m_archive = archive; }

    bool IsConnected() const { return m_bConnected; }
    // Why the last connect failed, or the line since.
    PortFailure LastPortFailure() const { return m_port.LastFailure(); }

private:
    bool m_bConnected = false;
    CCommPort m_port;
    int m_nPortNo = 0;
    int m_nBaudRate = DEFAULT_BAUD_RATE;
    std::string m_strUserId1;
    std::string m_strUserId2;
    std::string m_strUserName;
    std::string m_strSafeIndex;
    std::string m_strDangerIndex;
    std::string m_strStandardName;

    void SetDeviceButtons(bool enabled);
    void LimitEditText(std::string& text, size_t maxBytes, int messageId);
    void CheckIndexText(std::string& text, int tooLongMessageId);
    // The add buttons (app/list_editing.cpp): the name and the two numbers as a new last row.
    void AddRowOfEdits(const RowAddition& addition, const std::string& name,
                       const std::string& first, const std::string& second);

    // The device conversations (app/device_exchange.cpp, app/device_list.cpp).
    bool Exchange();
    // One exchange; on a time-out the delay message is shown and the result is false.
    bool ExchangeOrReport(int delayTextId);
    uint16_t ReplyStatus() const;
    uint16_t ReplyCount() const;
    // The count query of `command`; false, after the delay box, when no reply comes.
    bool CountItems(uint8_t command);
    // Asks how many items of `command` the device holds (0 for a reply that is no count);
    // false, after its box, when no reply comes (`replied` false) or the device holds none.
    bool ReadItemCount(uint8_t command, int noneText, uint32_t& count, bool& replied);
    // Asks for item `item` of the command in TxFrame; false, after the delay box, when no reply
    // comes.
    bool ReadItem(uint32_t item);
    // ReadItem, and a row numbered after the last appended for its reply.
    bool ReadItemAsNewRow(int list, uint32_t item, int& row);
    void ReadDeviceList(const DeviceListPanel& panel);
    // The device's list with the frames of the panel's read, into `rows` and not the panel's
    // list, without a box but the delay box on a time-out (then false).
    bool ReadDeviceRowsQuietly(const DeviceListPanel& panel, DeviceRows& rows);
    // The device's list as the last panel read took it; read anew, quietly, when that read
    // was refused or failed. False after the delay box.
    bool DeviceRowsOfLastListRead(DeviceRows& rows);
    void WriteDeviceList(const DeviceListPanel& panel);

    // The list files (app/list_file.cpp); SaveListAs saves any list through the save dialog.
    void SaveListAs(const ListCsvLayout& layout, int emptyTextId, const char* fileName);
    void ExportList(const ListFilePanel& panel);
    void ImportList(const ListFilePanel& panel);

    // The archive (records/record_archive.cpp).
    // Keeps the measurements of a read of the record list; `complete`: every record the device
    // counted was read, the newest (item `count`) first, its record fields `newest`.
    void ArchiveRecordsRead(const std::vector<Measurement>& read, size_t leftOut, bool complete,
                            const uint8_t* newest);
    // Before the device's log is cleared, with the count reply in m_reply: true when the log is
    // proven archived (the count of the last complete archived read of this connection, and
    // its newest record read again the same), or the operator says to go on all the same (and
    // the archive has kept that). False, after its box if any, when nothing may be deleted.
    bool MayClearRecords();
    // The device's newest record, item `count`, read again equals the kept one; false with
    // `replied` false after the delay box.
    bool NewestRecordUnchanged(uint16_t count, bool& replied);
    bool KeepForcedClear(std::optional<int> count);
    void ForgetArchivedLog() { m_archivedLog = ArchivedLog{}; }
    void SetPortName(const std::string& name);
    DialogControls& m_ui;
    PortSettingsStore& m_settings;
    bool m_bIgnoreNotifications = false;  // while CollectEdits or ShowEdits runs
    Frame m_reply{};                      // the last reply taken by ExchangeFrame
    OutputFileFactory m_makeFile = MakeOutputFile;
    RecordArchive* m_archive = nullptr;
    std::string m_strPortName;  // the source of the rows archived: "COM3", a device path
    DeviceListRead m_listRead;  // the last read of the user or the standard list
    // The last complete read of this connection that the archive kept whole: its count and the
    // record fields (user, standard, value, time) of its newest record. -1: none.
    struct ArchivedLog {
        static constexpr size_t FIELDS = 10;  // a record reply's bytes 8 to 17
        long count = -1;
        std::array<uint8_t, FIELDS> newest{};
    } m_archivedLog;
};
