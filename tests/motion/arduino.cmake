# Arduino link tests
