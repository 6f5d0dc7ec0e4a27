// Firefox's per-site storage: in each profile, "storage\default\<origin>" is one
// site's folder ("https+++tracker.example", "+8443" after a port that is not the
// scheme's, "^userContextId=2" or "^partitionKey=..." after a container or a
// partition, each a folder of its own) holding "ls\data.sqlite", "idb\", "cache\"
// and ".metadata-v2"; "storage\ls-archive.sqlite" keeps older localStorage rows
// (table webappsstore2, as in webappsstore.sqlite); "storage.sqlite" caches the
// usage of every origin.
#pragma once

#include <string>

#include "model/cookie.h"
#include "model/filter.h"
#include "stores/stores.h"

// The host of an origin folder's name: after the "+++" that ends the scheme, up to
// a "^" of origin attributes, a "+<digits>" port cut off. The attributes ("^..."
// to the end, or empty) go to *attributes when given. Empty for a name of any
// other shape and for a site without a host ("file++++C++").
std::wstring FirefoxOriginFolderHost(const std::wstring& name, std::wstring* attributes = nullptr);

// One profile folder. First, while Firefox runs with the profile, it holds
// "cookies.sqlite" locked: when a write lock cannot be taken on it (BEGIN
// IMMEDIATE fails on a lock, or the file is open without sharing), *held is set and
// nothing of the profile is read or touched. Otherwise the lock is kept while the
// profile is cleaned, and:
//  - every origin folder of "storage\default" whose host is evil is one item (name
//    the folder's, value what it holds and its file count, the container or
//    partition as the context); a clean removes it whole (link-safe, as
//    site_folders::RemoveSiteFolder) and counts it when it is gone;
//  - the evil rows of "storage\ls-archive.sqlite" are items (name the key, value the
//    value) and a clean deletes them in one transaction, through the database step
//    of ProcessFirefoxStorageDatabase;
//  - when a clean removed anything, the usage cache of "storage.sqlite" (table
//    cache) is marked invalid (valid = 0), so that Firefox counts again at its next
//    start; a missing file or table is left so.
// "storage" or "storage\default" that is a link is not entered. Returns the items
// found, or the folders and rows removed.
int ProcessFirefoxSiteStorageProfile(const std::wstring& profile, const CCookieFilter& filter,
                                     CFirefoxSiteStorageArray& items, bool clean,
                                     bool* held = nullptr);

// The store entry: every profile of FirefoxProfileFolders(). A held profile goes to
// `held` with its "cookies.sqlite".
int ProcessFirefoxSiteStorage(const CCookieFilter& filter, CFirefoxSiteStorageArray& items,
                              bool clean, HeldStores* held = nullptr);
