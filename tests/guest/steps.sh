echo "STEP OK probe"
