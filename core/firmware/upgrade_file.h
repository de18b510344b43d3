#pragma once
// Firmware image files: "*.dsp" holds the processor's firmware, "*.contr" the
// hand controller's. An image is opaque: only its kind (from the extension),
// its bytes, its checksum and the length of the update's progress follow
// from the file.
//
// Where the chosen path is remembered (QSettings in the desktop application)
// is the front end's business; the loader takes the path as given.

#include <sys/types.h>
#include <cstddef>
#include <optional>
#include <string>

#include "base/texts.h"
#include "firmware/upgrade_steps.h"

enum class FirmwareKind { Processor, Controller };

// The largest file that is loaded. Files of 256 KiB + 4 bytes and more were
// once taken as combined images whose layout cannot be told from the file, so
// they are refused rather than sent half right; a 256 KiB processor image
// still loads.
constexpr size_t kMaxUpgradeFileBytes = 0x40004 - 1;

// The kind named by the text after the last "." of the file name, compared
// exactly ("dsp", "contr"); none for anything else.
std::optional<FirmwareKind> FirmwareKindOfPath(const std::string& path);

// Progress steps of an update: one per 48-byte block and six for the rest.
int UpgradeProgressTotal(size_t imageBytes);

// Reads a file for the loader. Tests derive from it to make a real file
// shrink between two reads.
class CImageFileReader {
public:
    virtual ~CImageFileReader();
    // Opens the path for reading; false when that fails.
    virtual bool Open(const std::string& path);
    // The file's length, or none when it cannot be told (not a regular file).
    virtual std::optional<size_t> Size();
    // Reads up to n bytes: the count read, 0 at the end, -1 on failure.
    virtual ssize_t Read(BYTE* into, size_t n);

protected:
    int m_fd = -1;
};

struct UpgradeLoadResult {
    bool bOk = false;
    std::optional<TextId> eError;  // the message already shown when !bOk
    FirmwareKind eKind = FirmwareKind::Processor;
    size_t nImageBytes = 0;
    int nProgressTotal = 0;  // the progress bar runs 0 .. nProgressTotal
};

// Loads the image at `path` into `state`, after resetting it (so a failure
// leaves no image at all, not even an earlier one). Failures are
// shown (UM_SHOW_MESSAGE) and returned:
// - the file cannot be opened, is not a regular file, is empty, or a read
//   fails or comes up short: HexFileError ("Hex File error!"), and no image
//   is kept, so nothing half read is ever sent;
// - the extension is neither "dsp" nor "contr": UpgradeFileTypeError;
// - the file is longer than kMaxUpgradeFileBytes: UpgradeFileTooLarge.
// A controller image first shows the controller warning.
UpgradeLoadResult LoadUpgradeFile(const std::string& path, UpgradeState& state);
UpgradeLoadResult LoadUpgradeFile(const std::string& path, UpgradeState& state,
                                  CImageFileReader& reader);
