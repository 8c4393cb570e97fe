#pragma once

// Memory freed in bulk (undo steps dropped, a window's frames) goes back to
// the system. Freed frames otherwise stay in the allocator's free lists,
// and the program keeps them resident although nothing holds them.
namespace ZLT_Memory {

// Hands the free memory of the heap back to the system; does nothing where
// the allocator has no such call.
void ReturnFreed() noexcept;

// Blocks freed without a bulk free after them (thumbnails dropped and drawn
// again) stay with the process for reuse, up to 64 MiB: handed back at once,
// each page would fault in afresh when next used, which on some machines
// costs more than drawing into it. Called once at start.
void KeepFreedForReuse() noexcept;

} // namespace ZLT_Memory
