#pragma once
// Whole-scene files. A scene file is a chunk container (ChunkFile.h) holding:
//
//   0x0001 settings   int32 frame rate, int32 current time, int32 animation range start and end,
//                     int32 system unit type, float unit scale, uint32 next node handle
//   0x0002 objects    one 0x0010 chunk per scene object, in index order:
//            0x0011   uint32 super class id, uint32 class id part A, uint32 part B
//            0x0012   the class's own Save chunks
//            0x0013   int32 reference count n, n x int32 object index (-1 for none)
//   0x0003 nodes      uint32 count, count x int32 object index of each node, in creation order
//   0x0004 selection  uint32 count, count x uint32 node handle
//
// Every object reachable from a node through references is stored once; references are stored
// as indices into the object table, so shared objects stay shared. Nodes store their parent by
// handle. Loading builds the whole scene aside and replaces the current one only when every
// object was created, loaded and linked; any failure leaves the current scene as it was.

#include "host/MaxTypes.h"

#include <span>
#include <string>
#include <vector>

class Interface;

/// Largest scene file LoadSceneFile reads.
inline constexpr std::uint64_t kMaxSceneFileBytes = 1ull << 31;

/// Writes the scene of `ip` into `bytes`. False (with `error`) when a class's Save fails.
bool SaveScene(Interface& ip, std::vector<BYTE>& bytes, std::string* error = nullptr);
/// Replaces the scene of `ip` with the one in `bytes`. On failure `error` names what failed, in
/// which chunk and at which byte offset, and the current scene is untouched.
bool LoadScene(Interface& ip, std::span<const BYTE> bytes, std::string* error = nullptr);
/// File versions of SaveScene / LoadScene; errors name the file.
bool SaveSceneFile(Interface& ip, const std::string& path, std::string* error = nullptr);
bool LoadSceneFile(Interface& ip, const std::string& path, std::string* error = nullptr);
