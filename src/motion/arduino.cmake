# Arduino serial link and light sources
