#pragma once
// The error codes the main server sends in "Code" (the client turns them into its texts).

#include <cstdint>

namespace vantori::server {

inline constexpr std::int32_t kErrFolderNameTaken = 20002;
inline constexpr std::int32_t kErrNoFolder = 20003;
inline constexpr std::int32_t kErrFileNameTaken = 20004;
inline constexpr std::int32_t kErrUnknownUserID = 20005;
inline constexpr std::int32_t kErrAlreadyFriend = 20006;
inline constexpr std::int32_t kErrNoFile = 20007;
inline constexpr std::int32_t kErrFileDataMissing = 20008;
inline constexpr std::int32_t kErrFolderLimit = 20010;
inline constexpr std::int32_t kErrNoStoredFile = 20011;
inline constexpr std::int32_t kErrFriendLimit = 20016;
inline constexpr std::int32_t kErrEmptyFolderName = 20022;
inline constexpr std::int32_t kErrGroupLimit = 20028;
inline constexpr std::int32_t kErrEmptyGroupName = 20029;
inline constexpr std::int32_t kErrGroupNameTaken = 20030;
inline constexpr std::int32_t kErrNoGroup = 20031;
inline constexpr std::int32_t kErrWrongFolderNumber = 20040;
inline constexpr std::int32_t kErrExtensionDays = 20041;
inline constexpr std::int32_t kErrNotEnoughCoins = 20044;
inline constexpr std::int32_t kErrNotEnoughPoints = 20045;
inline constexpr std::int32_t kErrDatabase = 20999;
inline constexpr std::int32_t kErrUnknownUser = 21001;
inline constexpr std::int32_t kErrWrongPassword = 21002;
inline constexpr std::int32_t kErrUserInfoMissing = 21012;
inline constexpr std::int32_t kErrUploadFolderLimit = 21015;
inline constexpr std::int32_t kErrDownloadFileLimit = 21016;
inline constexpr std::int32_t kErrWrongFolderInfo = 21017;
inline constexpr std::int32_t kErrAdultFolder = 21020;
inline constexpr std::int32_t kErrCannotDeleteFolder = 21021;
inline constexpr std::int32_t kErrExtensionCoins = 21024;
inline constexpr std::int32_t kErrExtensionPoints = 21025;
inline constexpr std::int32_t kErrExtensionOver60 = 21027;
inline constexpr std::int32_t kErrInvalidRequest = 21030;

// Chosen meanings for the rules the code table has no text of its own for.
inline constexpr std::int32_t kErrNoSession = kErrUserInfoMissing;  // no live session from this address
inline constexpr std::int32_t kErrNotYours = kErrInvalidRequest;    // names another member as itself
inline constexpr std::int32_t kErrNotFriend = kErrUnknownUserID;    // the owner is not on the friends list

// The limits of the service.
inline constexpr int kMaxFoldersPerMember = 2048;
inline constexpr int kMaxFriends = 512;
inline constexpr int kMaxGroups = 128;
inline constexpr int kMaxUploadFolders = 500;
inline constexpr int kMaxDownloadFiles = 500;
inline constexpr int kMaxFolderDepth = 64;
inline constexpr int kMaxGroupDepth = 8;

}  // namespace vantori::server
