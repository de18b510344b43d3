#include "protocol/image_areas.h"

#include "protocol/frame_format.h"

namespace {

constexpr int kMicIndex = 0;
constexpr int kMusicIndex = 2;
constexpr int kFirstSourceGroup = kStoredGroupCount + 1;

}  // namespace

std::optional<BlockPlace> FindImageBlock(int type, int index) {
    switch (type) {
        case BT_MIC:
            if (index != kMicIndex) return std::nullopt;
            return BlockPlace{kImageMicOffset, kInputBlockSize, kInputBlockSize};
        case BT_MUSIC:
            if (index != kMusicIndex) return std::nullopt;
            return BlockPlace{kImageMusicOffset, kInputBlockSize, kInputBlockSize};
        case BT_OUTPUT:
            if (index < 0 || index >= kOutputCount) return std::nullopt;
            return BlockPlace{OutSlotOffset(index), kOutBlockSize, kOutSlotSize};
        case BT_EFFECT:
            return BlockPlace{kImageEffectOffset, kEffectBlockSize, kEffectBlockSize};
        default:
            return std::nullopt;
    }
}

ParamImage* FindGroupImage(int group) {
    if (group == 0) return &g_CurImage;
    if (group >= 1 && group <= kStoredGroupCount) return &g_GroupImages[group - 1];
    return nullptr;
}

SourceRecord* FindSourceRecord(int group) {
    const int slot = group - kFirstSourceGroup;
    if (slot < 0 || slot >= kSourceRecordCount) return nullptr;
    return &g_SourceRecords[slot];
}
