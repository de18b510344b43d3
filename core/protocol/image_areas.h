#pragma once
// Where the blocks addressed by frames live in the parameter images. Shared by
// the request builders (which read them) and the reply parser (which fills them).

#include <optional>

#include "image/param_image.h"

struct BlockPlace {
    int offset;  // within a parameter image
    int size;    // bytes that travel in a whole-block frame
    int room;    // bytes the image holds there (an output slot keeps two more)
};

// The block of a type and index, or none when no such block exists: outputs
// 0..5, the microphone input 0, the music input 2, the effect block.
std::optional<BlockPlace> FindImageBlock(int type, int index);

// Group 0 is g_CurImage, 1..20 the stored groups; null otherwise.
ParamImage* FindGroupImage(int group);

// Groups 21..40 address the source records; null otherwise.
SourceRecord* FindSourceRecord(int group);
