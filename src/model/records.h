#pragma once
// The model's names for the record layouts of store/record_keys.h, which
// alone spells out the bytes.
#include "platform/utf16_bytes.h"
#include "store/record_keys.h"

namespace vellumo::model {

using record_keys::Key;

using record_keys::kBackupKind;
using record_keys::kDatabaseIdKind;
using record_keys::kHotkeyKind;
using record_keys::kIconCacheKind;
using record_keys::kItemFieldKind;
using record_keys::kNoteKind;
using record_keys::kNoteMetaKind;
using record_keys::kOrderKind;
using record_keys::kPasswordKind;
using record_keys::kSchemeKind;
using record_keys::kServerAddressKind;

using record_keys::kMetaName;
using record_keys::kMetaTriggers;
using record_keys::kMetaUnused;

using record_keys::kItemMarkerField;
using record_keys::kSyncDigestField;

using record_keys::kCustomColoursNote;
using record_keys::kDefaultSchemeNote;

using record_keys::kMaxOrderKeyBytes;
using record_keys::kMaxTitleKeyBytes;
using record_keys::kMinOrderEntryBytes;

using record_keys::AppendU32BE;
using record_keys::AppendU32LE;
using record_keys::ItemFieldKey;
using record_keys::ItemFieldPrefix;
using record_keys::ItemMarkerKey;
using record_keys::NoteFieldKey;
using record_keys::NoteIdCounterKey;
using record_keys::NoteMetaKey;
using record_keys::NotePrefix;
using record_keys::OrderEntryItem;
using record_keys::OrderPrefix;

}  // namespace vellumo::model
