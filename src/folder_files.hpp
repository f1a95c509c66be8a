// The working folder's regular files, listed by the platform: the names
// only, as characters, for rules written once above it.
#pragma once

namespace quadrivo {

// What a listing hands its names to.
class FolderNames {
public:
    // Tells whether the name matters: only such names are looked at further.
    virtual bool wants(const char32_t* name, int length) = 0;
    // Takes a name it wanted, that of a regular file.
    virtual void take(const char32_t* name, int length) = 0;

protected:
    ~FolderNames() = default;
};

// Hands the name of every regular file in the working folder to names
// (a link counts as what it leads to). A folder that cannot be read lists nothing.
void list_regular_files(FolderNames& names);

}  // namespace quadrivo
