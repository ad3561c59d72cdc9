// The name of a run's .pst store: its file and the name Outlook shows for it. One
// store for every mailbox is "Brimvault<stamp>.pst" shown as "Brimvault Mailbox :
// Created - <stamp>"; one store per mailbox is "<mailbox>.pst" shown as "<mailbox>".
// Written in parts, the store's later parts are "<name> (2).pst", ...
// A run into a destination that holds the one store of an earlier run adds to that
// store: its stamp stays the first run's.
#pragma once
#include <ctime>
#include <string>

namespace bv::conversion {

enum class StoreScope { AllMailboxes, OneMailbox };

// The creation stamp "d.m.YY H.m.ss" of a local time: 6.12.26 8.37.05.
std::string CreationStamp(std::time_t when);

struct StoreName {
    std::string stem;         // the first part's path without ".pst"
    std::string displayName;  // of the message store
};

// The store under `saveFolder` (which ends in a separator) for `scope`; `mailboxName`
// names a store of one mailbox. The store for all mailboxes is the one an earlier run
// left in `saveFolder` (the last written when there are several), else a new one
// stamped `now`.
StoreName StoreNameFor(StoreScope scope, const std::string& saveFolder, const std::string& mailboxName,
                       std::time_t now = std::time(nullptr));
// The stamp of the store for all mailboxes that the last run left in `saveFolder`
// ("Brimvault<stamp>.pst"); "" when it holds none.
std::string EarlierSingleStoreStamp(const std::string& saveFolder);

}  // namespace bv::conversion
