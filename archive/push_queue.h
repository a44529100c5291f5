// The archive's rows that wait for the site archive, in the order they were archived: a row
// waits until the site has confirmed that it holds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "archive/archive.h"

ArchiveStatus CountWaiting(Archive& archive, size_t& waiting);

// The first `limit` waiting rows; `lastId` the last one's place in the queue, for MarkPushed.
ArchiveStatus ReadWaiting(Archive& archive, size_t limit, std::vector<Measurement>& rows,
                          int64_t& lastId);

// Every row read up to `lastId` is on the site now. Rows archived meanwhile come later in the
// queue and keep waiting.
ArchiveStatus MarkPushed(Archive& archive, int64_t lastId);
