// program directory and output file access
