// Recursive removal of a folder.
#ifndef FRAMEPACK_SUPPORT_REMOVE_TREE_H_
#define FRAMEPACK_SUPPORT_REMOVE_TREE_H_

// Deletes folder and everything in it as far as it can; returns nothing and reports nothing.
// Links inside are removed themselves, never followed, and an entry whose path does not fit a path
// buffer is left alone (with the folders above it).
void RemoveDirectoryTree(const char* folder);

#endif  // FRAMEPACK_SUPPORT_REMOVE_TREE_H_
