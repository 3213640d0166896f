// Recursive removal of a folder.
#ifndef FRAMEPACK_SUPPORT_REMOVE_TREE_H_
#define FRAMEPACK_SUPPORT_REMOVE_TREE_H_

// Deletes folder and everything in it as far as it can; returns nothing and reports nothing.
// Entries go by their own names inside the folder; links, the folder itself included, are
// removed themselves and never followed. A plain file in the folder's place is left alone.
void RemoveDirectoryTree(const char* folder);

#endif  // FRAMEPACK_SUPPORT_REMOVE_TREE_H_
