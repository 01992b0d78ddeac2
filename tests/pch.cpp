// Anchors the shared precompiled test header; it defines nothing.
