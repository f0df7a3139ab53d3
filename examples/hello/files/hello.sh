#!/bin/sh
echo "Hello from Kitforge"
