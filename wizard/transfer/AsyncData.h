// The records a worker posts to the wizard's sheet. A worker creates a record and hands it to a
// poster, giving up ownership; the sheet applies it on the UI thread and frees it. Records are
// applied in posting order and never reused.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "wizard/transfer/ShareAccess.h"

class kvFileStatusAsyncData;
class kvGroupStatusAsyncData;
class kvDeleteStatusAsyncData;
class kvDoneCopyAsyncData;
class kvSwitchDeletePageAsyncData;

// What the records update: the wizard's sheet implements it.
class CAbstractAsyncDataSheet {
public:
    virtual ~CAbstractAsyncDataSheet() = default;
    virtual void ApplyFileStatus(const kvFileStatusAsyncData& record) = 0;
    virtual void ApplyGroupStatus(const kvGroupStatusAsyncData& record) = 0;
    virtual void ApplyDeleteStatus(const kvDeleteStatusAsyncData& record) = 0;
    virtual void ApplyDoneCopy(const kvDoneCopyAsyncData& record) = 0;
    virtual void ApplySwitchDeletePage(const kvSwitchDeletePageAsyncData& record) = 0;
};

class kvAsyncData {
public:
    explicit kvAsyncData(CAbstractAsyncDataSheet* target) : sheet(target) {}
    virtual ~kvAsyncData() = default;
    kvAsyncData(const kvAsyncData&) = delete;
    kvAsyncData& operator=(const kvAsyncData&) = delete;

    // Updates the sheet; UI thread only. Does nothing without a sheet.
    virtual void Apply() = 0;
    // The record turns the sheet's pages, and so must reach it at once; progress may wait for
    // the sheet's next redraw.
    virtual bool MovesPages() const { return false; }

    CAbstractAsyncDataSheet* sheet;
};

// Hands records from any thread to the UI thread without waiting (the sheet's window queue).
class CAbstractAsyncDataPoster {
public:
    virtual ~CAbstractAsyncDataPoster() = default;
    virtual void Post(std::unique_ptr<kvAsyncData> record) = 0;
};

// done / total as a whole percentage, truncated, held to 0..100; 0 when total is 0.
int ProgressPercent(double done, double total);

class kvFileStatusAsyncData : public kvAsyncData {
public:
    kvFileStatusAsyncData(CAbstractAsyncDataSheet* target, uint64_t total, uint64_t done)
        : kvAsyncData(target), totalBytes(total), bytesDone(done) {}
    void Apply() override;
    int Percent() const { return ProgressPercent(double(bytesDone), double(totalBytes)); }

    uint64_t totalBytes;
    uint64_t bytesDone;
};

class kvGroupStatusAsyncData : public kvAsyncData {
public:
    kvGroupStatusAsyncData(CAbstractAsyncDataSheet* target, int count, int number, std::string name)
        : kvAsyncData(target), pictureCount(count), pictureNumber(number),
          pictureName(std::move(name)) {}
    void Apply() override;
    int Percent() const { return ProgressPercent(pictureNumber, pictureCount); }

    int pictureCount;
    int pictureNumber; // 1-based
    std::string pictureName;
};

class kvDeleteStatusAsyncData : public kvAsyncData {
public:
    kvDeleteStatusAsyncData(CAbstractAsyncDataSheet* target, int count, int number,
                            std::string name)
        : kvAsyncData(target), pictureCount(count), pictureNumber(number),
          pictureName(std::move(name)) {}
    void Apply() override;
    int Percent() const { return ProgressPercent(pictureNumber, pictureCount); }

    int pictureCount;
    int pictureNumber;
    std::string pictureName;
};

// Why a run ended without copying everything, when it was not cancelled.
struct TransferFailure {
    ShareStatus status = ShareStatus::Ok; // Ok: the run did not fail
    int error = 0;
    std::string source;              // the picture being copied, when a copy failed
    std::string destination;         // its destination name, when it has one
    int leftBehind = 0;              // copies of the run that could not be removed from the share
    std::string leftBehindPath = {}; // the first of them (a share path)

    bool Failed() const { return status != ShareStatus::Ok; }
    // A readable English line for diagnostics: what failed, why, and what was left behind.
    std::string Describe() const;
};

// The pictures a run could not copy and passed over while it went on, and the originals it was
// to delete that stayed; beside them, how many pictures and videos the run brought across.
struct PassedOver {
    uint32_t count = 0;
    TransferFailure first; // why the first of them could not be copied, and which it was
    uint32_t originalsKept = 0;
    uint32_t picturesCopied = 0; // pictures with at least one file copied, videos aside
    uint32_t videosCopied = 0;
    // Pictures left out because their copies were already on the server.
    uint32_t alreadyThere = 0;
};

class kvDoneCopyAsyncData : public kvAsyncData {
public:
    kvDoneCopyAsyncData(CAbstractAsyncDataSheet* target, bool wasCancelled,
                        TransferFailure why = {}, PassedOver passed = {})
        : kvAsyncData(target), cancelled(wasCancelled), failure(std::move(why)),
          skipped(passed.count), firstSkipped(std::move(passed.first)),
          originalsKept(passed.originalsKept), picturesCopied(passed.picturesCopied),
          videosCopied(passed.videosCopied), alreadyThere(passed.alreadyThere) {}
    void Apply() override;
    bool MovesPages() const override { return true; }

    bool cancelled;
    TransferFailure failure;
    // Pictures that could not be copied and were passed over while the run went on.
    uint32_t skipped;
    TransferFailure firstSkipped;
    // Originals the delete pass was to delete that stayed at the source.
    uint32_t originalsKept;
    // What the run kept on the server: pictures (however many files each), and videos.
    uint32_t picturesCopied;
    uint32_t videosCopied;
    // Pictures left out because their copies were already on the server.
    uint32_t alreadyThere;
};

class kvSwitchDeletePageAsyncData : public kvAsyncData {
public:
    explicit kvSwitchDeletePageAsyncData(CAbstractAsyncDataSheet* target) : kvAsyncData(target) {}
    void Apply() override;
    bool MovesPages() const override { return true; }
};
