# Stage axes tests
